#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace kb::core {

// Section names of the per-user settings.
inline constexpr std::string_view kSettingsRoot = "Software\\Quorvantis Software\\Kestrelbay 4 Mobile";
inline constexpr std::string_view kSectionSettings = "Settings";
inline constexpr std::string_view kSectionWindow = "Window";
inline constexpr std::string_view kSectionIndicators = "Indicators";
inline constexpr std::string_view kSectionObjects = "Objects";

// Environment variable that moves the store (tests, a second profile).
inline constexpr const char* kSettingsFileVariable = "KESTRELBAY_SETTINGS";

// Small per-user preferences: typed values (32-bit numbers and texts) in sections under
// kSettingsRoot, kept in one file per user. Every call reads or rewrites the file, so
// two processes (terminal and refreshkit) see each other's writes; writes are atomic
// and serialised between processes. Reads yield the default when the file, the
// section or the value is missing or the value has the other type; write failures are
// silent. Thread-safe.
// The file is text in the layout of a registry export (see settings_file.h); section
// and value names ignore ASCII case as the registry's do. Lines that don't parse are
// ignored on read and kept on rewrite. The file is readable by its owner only (it holds
// the proxy password); a lock file "<path>.lock" beside it serialises the writers.
class SettingsStore {
public:
    explicit SettingsStore(std::string file_path);

    // $KESTRELBAY_SETTINGS when set, else $XDG_CONFIG_HOME (or ~/.config) +
    // "/kestrelbay/settings".
    static std::string default_path();

    int32_t read_number(std::string_view section, std::string_view name, int32_t default_value) const;
    std::string read_text(std::string_view section, std::string_view name, std::string_view default_value) const;
    void write_number(std::string_view section, std::string_view name, int32_t value);
    void write_text(std::string_view section, std::string_view name, std::string_view value);

    const std::string& file_path() const { return file_path_; }

private:
    std::string file_path_;
};

}  // namespace kb::core
