#pragma once
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kb::server {

enum class CommandKind { Serve, Help, CreateAccount, Deposit, PostNews, SendMail, SetInstrument, SetGroup };

// The parsed command line: which command and its "--name value" options (names without
// the dashes).
struct CommandLine {
    CommandKind kind = CommandKind::Serve;
    std::map<std::string, std::string> options;

    // The option's value, or fallback when it wasn't given.
    std::string get(const std::string& name, const std::string& fallback = {}) const;
    bool has(const std::string& name) const { return options.count(name) != 0; }
};

// Parses argv (without the program name): an optional subcommand first, then options of
// the form "--name value" or "--name=value". Options every command takes: --db, --config.
// nullopt with error set for an unknown subcommand or option, a missing value, a repeated
// option or a missing required option.
std::optional<CommandLine> parse_command_line(const std::vector<std::string>& arguments, std::string& error);

// The --help text, with the default addresses and files.
std::string usage_text();

}  // namespace kb::server
