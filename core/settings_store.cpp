#include "core/settings_store.h"

#include <optional>
#include <span>

#include "core/settings_file.h"
#include "platform/file_lock.h"
#include "platform/files.h"
#include "platform/system_info.h"

namespace kb::core {
namespace {

constexpr std::string_view kStoreSubpath = "kestrelbay/settings";

// The full key of a section. Sections that can't be a key (empty, an empty path
// component, a control character that would break the file's lines) have none.
std::optional<std::string> section_key(std::string_view section) {
    if (section.empty() || section.front() == '\\' || section.back() == '\\') return std::nullopt;
    if (section.find("\\\\") != std::string_view::npos) return std::nullopt;
    for (char c : section)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return std::nullopt;
    std::string key(kSettingsRoot);
    key += '\\';
    key += section;
    return key;
}

// The document in the file; an empty one when there is no file, nullopt when a file is
// there but can't be read (a rewrite from nothing would then destroy its values).
std::optional<SettingsDocument> load(const std::string& path) {
    auto bytes = platform::read_file(path);
    if (!bytes) {
        if (platform::file_size(path) >= 0) return std::nullopt;
        return SettingsDocument{};
    }
    return SettingsDocument::parse(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
}

// Creates the folders leading to path, as "mkdir -p" of its parent would.
void make_parent_folders(const std::string& path) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
        platform::make_directory(path.substr(0, slash));
}

std::optional<SettingsValue> read_value(const std::string& path, std::string_view section, std::string_view name) {
    auto key = section_key(section);
    if (!key) return std::nullopt;
    std::optional<SettingsDocument> document = load(path);
    const SettingsValue* value = document ? document->find(*key, name) : nullptr;
    if (!value) return std::nullopt;
    return *value;
}

// Lock, re-read, change, write a temporary file and rename it over the store: a writer
// in another process never loses our value nor we its, and a crash leaves a whole file.
void write_value(const std::string& path, std::string_view section, std::string_view name, SettingsValue value) {
    auto key = section_key(section);
    if (!key) return;
    make_parent_folders(path);
    platform::FileLock lock(path + ".lock");
    if (!lock.held()) return;
    std::optional<SettingsDocument> document = load(path);
    if (!document) return;
    document->set(*key, name, std::move(value));
    std::string text = document->serialise();
    // Owner-only: the proxy password is among the values.
    platform::write_file_atomic(path, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()),
                                platform::FileAccess::OwnerOnly);
}

}  // namespace

SettingsStore::SettingsStore(std::string file_path) : file_path_(std::move(file_path)) {}

std::string SettingsStore::default_path() {
    std::string explicit_path = platform::environment_value(kSettingsFileVariable);
    if (!explicit_path.empty()) return explicit_path;
    // The XDG rules ignore a relative $XDG_CONFIG_HOME.
    std::string config = platform::environment_value("XDG_CONFIG_HOME");
    if (config.empty() || config.front() != '/') config = platform::join_path(platform::home_folder(), ".config");
    return platform::join_path(config, kStoreSubpath);
}

int32_t SettingsStore::read_number(std::string_view section, std::string_view name, int32_t default_value) const {
    auto value = read_value(file_path_, section, name);
    const int32_t* number = value ? std::get_if<int32_t>(&*value) : nullptr;
    return number ? *number : default_value;
}

std::string SettingsStore::read_text(std::string_view section, std::string_view name, std::string_view default_value) const {
    auto value = read_value(file_path_, section, name);
    const std::string* text = value ? std::get_if<std::string>(&*value) : nullptr;
    return text ? *text : std::string(default_value);
}

void SettingsStore::write_number(std::string_view section, std::string_view name, int32_t value) {
    write_value(file_path_, section, name, value);
}

void SettingsStore::write_text(std::string_view section, std::string_view name, std::string_view value) {
    write_value(file_path_, section, name, std::string(value));
}

}  // namespace kb::core
