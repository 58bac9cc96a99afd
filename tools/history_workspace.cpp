#include "tools/history_workspace.h"

#include <limits>

#include "core/fixed_text.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/random_access_file.h"

namespace kb::tools {

namespace {

constexpr size_t kMaxSymbolLength = sizeof(market::SymbolRecord::name) - 1;
constexpr size_t kJournalTimePrefix = 9;   // "HH:MM:SS "

}  // namespace

Workspace::Workspace() {
    std::string made = platform::make_temporary_file("hsttool");
    if (made.empty() || !platform::remove_file(made) || !platform::make_directory(made)) return;
    root_ = made;
    if (!platform::make_directory(history_folder()) || !platform::make_directory(server_folder())) root_.clear();
}

Workspace::~Workspace() {
    if (root_.empty()) return;
    for (const platform::FolderEntry& entry : platform::list_folder(server_folder()))
        if (!entry.is_directory) platform::remove_file(platform::join_path(server_folder(), entry.name));
    platform::remove_directory(server_folder());
    platform::remove_directory(history_folder());
    platform::remove_directory(root_);
}

std::string Workspace::history_folder() const { return platform::join_path(root_, "history"); }

std::string Workspace::server_folder() const { return platform::join_path(history_folder(), kServer); }

const std::string& Workspace::history_file(const HistoryIdentity& identity) {
    file_ = platform::join_path(server_folder(), history_name(identity) + ".hst");
    return file_;
}

bool Workspace::add_file(const std::string& from, const std::string& name) {
    return platform::copy_file(from, platform::join_path(server_folder(), name));
}

std::optional<market::HistoryFileHeader> read_history_header(const std::string& path) {
    platform::RandomAccessFile file;
    market::HistoryFileHeader header{};
    if (!file.open(path, platform::RandomAccessFile::Mode::ReadOnly) ||
        !file.read_at(0, {reinterpret_cast<uint8_t*>(&header), sizeof header}) ||
        header.version != market::kHistoryFileVersion)
        return std::nullopt;
    return header;
}

HistoryIdentity identity_of(const market::HistoryFileHeader& header) {
    HistoryIdentity identity;
    identity.symbol = std::string(core::field_text(header.symbol));
    identity.period = header.period;
    if (header.digits >= 0) identity.digits = header.digits;
    return identity;
}

std::string history_name(const HistoryIdentity& identity) { return identity.symbol + std::to_string(identity.period); }

JournalToStream::JournalToStream(const std::string& folder, std::ostream& err)
    : journal_(folder, platform::system_clock()) {
    journal_.set_echo([&err](std::string_view line) {
        err << (line.size() > kJournalTimePrefix ? line.substr(kJournalTimePrefix) : line) << '\n';
    });
}

std::unique_ptr<market::HistoryBase> open_history(const HistoryIdentity& identity, const Workspace& workspace,
                                                  core::Journal* journal) {
    if (identity.symbol.empty() || identity.symbol.size() > kMaxSymbolLength) return nullptr;
    market::SymbolRecord symbol{};
    core::set_field_text(symbol.name, identity.symbol);
    symbol.digits = identity.digits;
    // No limit on the bars in the file: the tools never trim away a user's older bars.
    market::HistorySettings settings{workspace.root(), Workspace::kServer, market::HistoryBase::kLoadAllBars,
                                     std::numeric_limits<size_t>::max() / 4};
    return market::HistoryBase::create(symbol, identity.period, market::Offline::Yes, std::move(settings), journal);
}

}  // namespace kb::tools
