#pragma once
#include <optional>
#include <string>

namespace kb::ui {

// The terminal's own command-line options (the program folder option and Qt's options
// are taken out of argv before these are read):
//   --echo-journal               print each journal line to stderr too
//   --snapshot PATH              keep a PNG of the main window at PATH
//   --snapshot-interval SECONDS  how often the snapshot is refreshed (default 3)
struct TerminalOptions {
    bool echo_journal = false;
    std::string snapshot_path;
    int snapshot_interval_s = 3;
};

// Parses argv[1..argc-1]; nullopt with a message in error for an unknown option, a
// missing value or an interval that is not a whole number from 1 to 3600.
std::optional<TerminalOptions> parse_terminal_options(int argc, const char* const* argv, std::string& error);

}  // namespace kb::ui
