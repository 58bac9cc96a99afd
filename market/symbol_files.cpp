#include "market/symbol_files.h"

#include <cstring>
#include <utility>

#include "platform/files.h"

namespace kb::market {

namespace {

constexpr const char* kDefaultServer = "default";

const char* file_name(SymbolFile file) {
    switch (file) {
        case SymbolFile::Symbols: return "symbols.raw";
        case SymbolFile::Groups: return "symgroups.raw";
        case SymbolFile::Selection: return "symbols.sel";
    }
    return "";
}

template <typename Record>
std::span<const uint8_t> bytes_of(std::span<const Record> records) {
    return {reinterpret_cast<const uint8_t*>(records.data()), records.size_bytes()};
}

}  // namespace

SymbolFiles::SymbolFiles(std::string program_folder, std::string server)
    : program_folder_(std::move(program_folder)), server_(std::move(server)) {}

std::string SymbolFiles::server_folder(const std::string& server) const {
    return platform::join_path(platform::join_path(program_folder_, "history"), server);
}

std::string SymbolFiles::write_path(SymbolFile file) const {
    return platform::join_path(server_folder(server_), file_name(file));
}

std::vector<uint8_t> SymbolFiles::read_with_fallback(SymbolFile file) const {
    if (auto bytes = platform::read_file(write_path(file))) return std::move(*bytes);
    auto fallback = platform::read_file(platform::join_path(server_folder(kDefaultServer), file_name(file)));
    return fallback ? std::move(*fallback) : std::vector<uint8_t>{};
}

std::vector<SymbolRecord> SymbolFiles::read_symbols() const {
    std::vector<uint8_t> bytes = read_with_fallback(SymbolFile::Symbols);
    std::vector<SymbolRecord> symbols(bytes.size() / sizeof(SymbolRecord));
    if (!symbols.empty()) std::memcpy(symbols.data(), bytes.data(), symbols.size() * sizeof(SymbolRecord));
    return symbols;
}

SymbolGroupTable SymbolFiles::read_groups() const {
    std::vector<uint8_t> bytes = read_with_fallback(SymbolFile::Groups);
    SymbolGroupTable groups{};
    if (bytes.size() >= kSymbolGroupTableSize) std::memcpy(groups.data(), bytes.data(), kSymbolGroupTableSize);
    return groups;
}

std::vector<uint8_t> SymbolFiles::read_selection_bytes() const { return read_with_fallback(SymbolFile::Selection); }

bool SymbolFiles::write(SymbolFile file, std::span<const uint8_t> bytes) const {
    std::string history = platform::join_path(program_folder_, "history");
    platform::make_directory(history);
    platform::make_directory(server_folder(server_));
    return platform::write_file_atomic(write_path(file), bytes);
}

bool SymbolFiles::write_symbols(std::span<const SymbolRecord> symbols) const {
    return write(SymbolFile::Symbols, bytes_of(symbols));
}

bool SymbolFiles::write_groups(const SymbolGroupTable& groups) const {
    return write(SymbolFile::Groups, bytes_of(std::span<const SymbolGroupRecord>(groups)));
}

bool SymbolFiles::write_selection(std::span<const SelectedSymbol> entries) const {
    std::vector<uint8_t> bytes(sizeof(int32_t) + entries.size_bytes());
    std::memcpy(bytes.data(), &kSelectionFileVersion, sizeof(int32_t));
    if (!entries.empty()) std::memcpy(bytes.data() + sizeof(int32_t), entries.data(), entries.size_bytes());
    return write(SymbolFile::Selection, bytes);
}

SelectionFileContent parse_selection_file(std::span<const uint8_t> bytes) {
    SelectionFileContent content;
    if (bytes.size() < sizeof(int32_t)) return content;
    int32_t version = 0;
    std::memcpy(&version, bytes.data(), sizeof version);
    if (version == kSelectionFileVersion) {
        content.form = SelectionForm::Current;
        // Whole entries after the version only: a truncated last entry is dropped.
        size_t count = (bytes.size() - sizeof(int32_t)) / sizeof(SelectedSymbol);
        content.entries.resize(count);
        for (size_t i = 0; i < count; ++i)
            std::memcpy(&content.entries[i], bytes.data() + sizeof(int32_t) + i * sizeof(SelectedSymbol),
                        sizeof(SelectedSymbol));
    } else if (bytes.size() % kOldSelectedSymbolSize == 0) {
        content.form = SelectionForm::Older;
        size_t count = bytes.size() / kOldSelectedSymbolSize;
        content.entries.resize(count);
        for (size_t i = 0; i < count; ++i) {
            SelectedSymbol& entry = content.entries[i];
            entry = SelectedSymbol{};
            std::memcpy(&entry, bytes.data() + i * kOldSelectedSymbolSize, kOldSelectedSymbolSize);
            entry.raw_bid = entry.bid;
            entry.raw_ask = entry.ask;
        }
    } else {
        return content;
    }
    for (SelectedSymbol& entry : content.entries) entry.name[sizeof entry.name - 1] = '\0';
    return content;
}

}  // namespace kb::market
