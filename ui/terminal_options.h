#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace kb::ui {

// The environment variable that carries the password of --login (a command line is
// visible to every user of the machine; the environment is not).
inline constexpr const char* kPasswordVariable = "KESTRELBAY_PASSWORD";

// The terminal's own command-line options (the program folder option and Qt's options
// are taken out of argv before these are read):
//   --echo-journal               print each journal line to stderr too
//   --echo-status                print the connection status line to stderr when it changes
//   --snapshot PATH              keep a PNG of the main window at PATH
//   --snapshot-interval SECONDS  how often the snapshot is refreshed (default 3)
//   --login NUMBER               make this account the current one at start, with the
//                                password of $KESTRELBAY_PASSWORD, and log in to it
//   --server TEXT                with --login: a server name or "host[:port]"
//                                (default: the current account's server)
struct TerminalOptions {
    bool echo_journal = false;
    bool echo_status = false;
    std::string snapshot_path;
    int snapshot_interval_s = 3;
    std::optional<int32_t> login;
    std::string server;
};

// Parses argv[1..argc-1]; nullopt with a message in error for an unknown option, a
// missing value, an interval that is not a whole number from 1 to 3600, a login that
// is not a whole number from 1 to 2147483647, or --server without --login.
std::optional<TerminalOptions> parse_terminal_options(int argc, const char* const* argv, std::string& error);

}  // namespace kb::ui
