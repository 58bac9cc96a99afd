#include "ui/terminal_options.h"

#include <charconv>
#include <limits>
#include <string_view>

namespace kb::ui {

namespace {

constexpr int kMaxSnapshotIntervalS = 3600;

std::optional<int32_t> parse_whole_number(std::string_view text, int32_t lowest, int32_t highest) {
    int32_t parsed = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (ec != std::errc() || end != text.data() + text.size() || parsed < lowest || parsed > highest)
        return std::nullopt;
    return parsed;
}

bool takes_value(std::string_view name) {
    return name == "--snapshot" || name == "--snapshot-interval" || name == "--login" || name == "--server";
}

}  // namespace

std::optional<TerminalOptions> parse_terminal_options(int argc, const char* const* argv, std::string& error) {
    TerminalOptions options;
    auto fail = [&error](std::string message) -> std::optional<TerminalOptions> {
        error = std::move(message);
        return std::nullopt;
    };
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        std::string_view name = arg.substr(0, arg.find('='));
        std::optional<std::string_view> value;
        if (name.size() < arg.size()) value = arg.substr(name.size() + 1);
        if (takes_value(name) && !value) {
            if (i + 1 >= argc) return fail("missing value for " + std::string(name));
            value = argv[++i];
        }
        if (name == "--echo-journal" && !value) {
            options.echo_journal = true;
        } else if (name == "--echo-status" && !value) {
            options.echo_status = true;
        } else if (name == "--snapshot") {
            if (value->empty()) return fail("--snapshot wants a file path");
            options.snapshot_path = *value;
        } else if (name == "--snapshot-interval") {
            std::optional<int32_t> seconds = parse_whole_number(*value, 1, kMaxSnapshotIntervalS);
            if (!seconds)
                return fail("--snapshot-interval wants whole seconds from 1 to 3600, not '" + std::string(*value) + "'");
            options.snapshot_interval_s = *seconds;
        } else if (name == "--login") {
            options.login = parse_whole_number(*value, 1, std::numeric_limits<int32_t>::max());
            if (!options.login) return fail("--login wants an account number from 1, not '" + std::string(*value) + "'");
        } else if (name == "--server") {
            if (value->empty()) return fail("--server wants a server name or host[:port]");
            options.server = *value;
        } else {
            return fail("unknown option '" + std::string(arg) + "'");
        }
    }
    if (!options.server.empty() && !options.login) return fail("--server goes with --login");
    return options;
}

}  // namespace kb::ui
