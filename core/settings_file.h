#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace kb::core {

// One stored value: a 32-bit number or a text.
using SettingsValue = std::variant<int32_t, std::string>;

// The text form of the settings store, in the layout of a registry export:
//
//   [Software\Quorvantis Software\Kestrelbay 4 Mobile\Window]
//   "ActiveTab"=dword:00000002
//   "Language"="English"
//
// Each key is a section header; a number is "dword:" and eight hex digits (the 32-bit
// pattern, so -1 is ffffffff); a text is quoted with \\, \", \n, \r, \t and \xHH escapes
// (HH for the other control bytes), every other byte (UTF-8 included) as it is. Key
// paths and value names compare without regard to ASCII case, as the registry does.
//
// Damaged input never fails: a line that is neither a header, a value nor blank is kept
// verbatim in its place and written back unchanged, so a hand edit or a value of a type
// this program doesn't know survives our rewrites; it is invisible to reads. Of
// duplicate values the first one counts; duplicate headers are merged into the first.
//
// A plain value type, no locking; the store does the file work around it.
class SettingsDocument {
public:
    static SettingsDocument parse(std::string_view text);
    std::string serialise() const;

    // The value, or nullptr when the key or the value is missing. The pointer is valid
    // until the next change.
    const SettingsValue* find(std::string_view key_path, std::string_view name) const;

    // Replaces or adds the value. A missing key is created as the registry would: every
    // key of its '\'-separated path that is missing gets its own header, parents first.
    void set(std::string_view key_path, std::string_view name, SettingsValue value);

    // Key paths in file order (tests and tools).
    std::vector<std::string> key_paths() const;

private:
    struct Line {
        std::string raw;        // the line as read, for lines that are not values
        bool is_value = false;
        std::string name;
        SettingsValue value;
    };
    struct Key {
        std::string path;       // empty for the lines before the first header
        std::vector<Line> lines;
    };

    Key* find_key(std::string_view path);
    const Key* find_key(std::string_view path) const;
    Key& add_key(std::string_view path);

    std::vector<Key> keys_;
};

}  // namespace kb::core
