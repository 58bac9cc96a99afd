#include "ui/terminal_options.h"

#include <charconv>
#include <string_view>

namespace kb::ui {

namespace {

constexpr int kMaxSnapshotIntervalS = 3600;

bool parse_interval(std::string_view text, int& seconds) {
    int parsed = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (ec != std::errc() || end != text.data() + text.size() || parsed < 1 || parsed > kMaxSnapshotIntervalS)
        return false;
    seconds = parsed;
    return true;
}

}  // namespace

std::optional<TerminalOptions> parse_terminal_options(int argc, const char* const* argv, std::string& error) {
    TerminalOptions options;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        std::string_view name = arg.substr(0, arg.find('='));
        std::optional<std::string_view> value;
        if (name.size() < arg.size()) value = arg.substr(name.size() + 1);
        bool takes_value = name == "--snapshot" || name == "--snapshot-interval";
        if (takes_value && !value) {
            if (i + 1 >= argc) {
                error = "missing value for " + std::string(name);
                return std::nullopt;
            }
            value = argv[++i];
        }
        if (name == "--echo-journal" && !value) {
            options.echo_journal = true;
        } else if (name == "--snapshot") {
            if (value->empty()) {
                error = "--snapshot wants a file path";
                return std::nullopt;
            }
            options.snapshot_path = *value;
        } else if (name == "--snapshot-interval") {
            if (!parse_interval(*value, options.snapshot_interval_s)) {
                error = "--snapshot-interval wants whole seconds from 1 to 3600, not '" + std::string(*value) + "'";
                return std::nullopt;
            }
        } else {
            error = "unknown option '" + std::string(arg) + "'";
            return std::nullopt;
        }
    }
    return options;
}

}  // namespace kb::ui
