#include "server/command_line.h"

#include <algorithm>

namespace kb::server {

namespace {

struct CommandShape {
    const char* name;   // empty for serving
    CommandKind kind;
    std::vector<const char*> required;
    std::vector<const char*> optional;
};

const std::vector<CommandShape>& command_shapes() {
    static const std::vector<CommandShape> shapes = {
        {"", CommandKind::Serve, {}, {"trade-listen", "history-listen"}},
        {"create-account", CommandKind::CreateAccount, {"login"}, {"group", "name", "deposit", "leverage", "password-file"}},
        {"deposit", CommandKind::Deposit, {"login", "amount"}, {"comment"}},
        {"post-news", CommandKind::PostNews, {"subject", "body"}, {"category"}},
        {"send-mail", CommandKind::SendMail, {"to", "subject", "body"}, {"from"}},
        {"set-instrument", CommandKind::SetInstrument, {"symbol"}, {"description", "stops-level", "execution"}},
        {"set-group", CommandKind::SetGroup, {"group"},
         {"execution", "requote-rate", "dealer-delay-ms", "news", "leverage", "margin-call", "stop-out"}},
    };
    return shapes;
}

bool listed(const std::vector<const char*>& names, const std::string& name) {
    return std::any_of(names.begin(), names.end(), [&](const char* known) { return name == known; });
}

}  // namespace

std::string CommandLine::get(const std::string& name, const std::string& fallback) const {
    auto it = options.find(name);
    return it == options.end() ? fallback : it->second;
}

std::optional<CommandLine> parse_command_line(const std::vector<std::string>& arguments, std::string& error) {
    CommandLine line;
    size_t next = 0;
    if (std::find(arguments.begin(), arguments.end(), "--help") != arguments.end() ||
        std::find(arguments.begin(), arguments.end(), "-h") != arguments.end()) {
        line.kind = CommandKind::Help;
        return line;
    }
    const CommandShape* shape = &command_shapes().front();
    if (!arguments.empty() && !arguments[0].starts_with("--")) {
        auto found = std::find_if(command_shapes().begin(), command_shapes().end(),
                                  [&](const CommandShape& s) { return arguments[0] == s.name; });
        if (found == command_shapes().end() || arguments[0].empty()) {
            error = "unknown command \"" + arguments[0] + "\" (see --help)";
            return std::nullopt;
        }
        shape = &*found;
        next = 1;
    }
    line.kind = shape->kind;

    for (; next < arguments.size(); ++next) {
        const std::string& argument = arguments[next];
        if (!argument.starts_with("--") || argument.size() == 2) {
            error = "unexpected argument \"" + argument + "\" (see --help)";
            return std::nullopt;
        }
        std::string name = argument.substr(2);
        std::string value;
        size_t equals = name.find('=');
        if (equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
        } else if (next + 1 < arguments.size()) {
            value = arguments[++next];
        } else {
            error = "--" + name + " needs a value";
            return std::nullopt;
        }
        // Every user of the machine can read a command line.
        if (shape->kind == CommandKind::CreateAccount && (name == "password" || name == "investor-password")) {
            error = "passwords are not taken on the command line, where other users can read them: give them on "
                    "standard input or in --password-file (see --help)";
            return std::nullopt;
        }
        bool known = name == "db" || name == "config" || listed(shape->required, name) || listed(shape->optional, name);
        if (!known) {
            error = "unknown option --" + name + (shape->name[0] ? std::string(" for ") + shape->name : std::string());
            return std::nullopt;
        }
        if (!line.options.emplace(name, value).second) {
            error = "--" + name + " is given twice";
            return std::nullopt;
        }
    }
    for (const char* required : shape->required) {
        if (!line.has(required)) {
            error = std::string(shape->name) + " needs --" + required;
            return std::nullopt;
        }
    }
    return line;
}

std::string usage_text() {
    return "Usage:\n"
           "  demo-server [--db PATH] [--config PATH] [--trade-listen HOST:PORT] [--history-listen HOST:PORT]\n"
           "      Serves the trade server and the history server until SIGINT or SIGTERM.\n"
           "      --trade-listen    trade server address (default 127.0.0.1:4443; give :443 explicitly\n"
           "                        when the program may bind privileged ports)\n"
           "      --history-listen  history server address (default 127.0.0.1:4444)\n"
           "      The listen options override the \"listen\" section of the configuration.\n"
           "\n"
           "  demo-server create-account --login N [--password-file PATH] [--group G] [--name TEXT]\n"
           "                             [--leverage N] [--deposit AMOUNT]\n"
           "      The password is the first line of standard input or of the file (which only its owner\n"
           "      may read); a second line is the investor (read-only) password.\n"
           "  demo-server deposit --login N --amount AMOUNT [--comment TEXT]   (negative: withdrawal)\n"
           "  demo-server post-news --subject TEXT --body TEXT [--category TEXT]\n"
           "  demo-server send-mail --to LOGIN --subject TEXT --body TEXT [--from NAME]\n"
           "  demo-server set-instrument --symbol NAME [--description TEXT] [--stops-level POINTS]\n"
           "                             [--execution request|instant|market]\n"
           "  demo-server set-group --group NAME [--execution request|instant|market] [--requote-rate 0..1]\n"
           "                        [--dealer-delay-ms N] [--news 0|1|2] [--leverage N] [--margin-call PERCENT]\n"
           "                        [--stop-out PERCENT]\n"
           "      A running server pushes changed settings to its terminals within a second.\n"
           "\n"
           "Options of every command:\n"
           "  --db PATH       SQLite database (default demo-server.db beside the executable)\n"
           "  --config PATH   JSON configuration (default default-config.json beside the executable)\n"
           "\n"
           "Exit status: 0 on success, 1 on any error (the reason is printed on stderr).\n";
}

}  // namespace kb::server
