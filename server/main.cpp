#include <cstdio>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/event.h"
#include "platform/files.h"
#include "platform/program_folder.h"
#include "platform/termination_signals.h"
#include "server/admin_commands.h"
#include "server/command_line.h"
#include "server/demo_server.h"
#include "server/listen_address.h"
#include "server/server_config.h"
#include "server/server_log.h"
#include "server/storage.h"

namespace {

using namespace kb::server;

int fail(const std::string& message) {
    std::fprintf(stderr, "demo-server: %s\n", message.c_str());
    return 1;
}

// Passwords are a few short lines; anything much longer is a mistake.
constexpr size_t kSecretsLimit = 4096;

// The passwords of create-account: from --password-file, which only its owner may read, or
// else from standard input.
std::optional<std::string> read_secrets(const CommandLine& line, std::string& error) {
    if (!line.has("password-file")) {
        std::optional<std::string> text = kb::platform::read_standard_input(kSecretsLimit);
        if (!text) error = "standard input could not be read or holds more than " + std::to_string(kSecretsLimit) + " bytes";
        return text;
    }
    const std::string path = line.get("password-file");
    if (!kb::platform::is_owner_only_file(path)) {
        error = "--password-file " + path + " must be a file of yours that only you may read (chmod 600)";
        return std::nullopt;
    }
    std::optional<std::vector<uint8_t>> bytes = kb::platform::read_file(path);
    if (!bytes || bytes->size() > kSecretsLimit) {
        error = "--password-file " + path + " could not be read or holds more than " + std::to_string(kSecretsLimit) + " bytes";
        return std::nullopt;
    }
    return std::string(bytes->begin(), bytes->end());
}

int serve(const CommandLine& line, const ServerConfig& config, Storage& storage) {
    std::string trade_text = line.get("trade-listen", config.trade_listen);
    std::string history_text = line.get("history-listen", config.history_listen);
    std::optional<ListenAddress> trade = parse_listen_address(trade_text);
    std::optional<ListenAddress> history = parse_listen_address(history_text);
    if (!trade) return fail("--trade-listen \"" + trade_text + "\" is not HOST:PORT with a port 1..65535");
    if (!history) return fail("--history-listen \"" + history_text + "\" is not HOST:PORT with a port 1..65535");

    kb::platform::TerminationSignals signals;
    if (!signals.install()) return fail("can't install the signal handlers");
    kb::platform::Clock& clock = kb::platform::system_clock();
    ServerLog log(clock);
    DemoServer server(config, storage, clock, log);
    std::string error;
    if (!server.start(*trade, *history, error)) return fail(error);
    kb::platform::Event never(clock);
    while (!signals.take()) never.wait(200);
    log.write("stopping");
    server.stop();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    std::string error;
    std::optional<CommandLine> line = parse_command_line(arguments, error);
    if (!line) return fail(error);
    if (line->kind == CommandKind::Help) {
        std::fputs(usage_text().c_str(), stdout);
        return 0;
    }

    std::optional<ServerConfig> config = load_server_config(line->get("config", default_config_path()), error);
    if (!config) return fail(error);
    std::string db_path =
        line->get("db", kb::platform::join_path(kb::platform::executable_folder(), "demo-server.db"));
    std::unique_ptr<Storage> storage = Storage::open(db_path, error);
    if (!storage) return fail(error);

    if (line->kind == CommandKind::Serve) return serve(*line, *config, *storage);
    std::string secrets;
    if (line->kind == CommandKind::CreateAccount) {
        std::optional<std::string> read = read_secrets(*line, error);
        if (!read) return fail(error);
        secrets = std::move(*read);
    }
    AdminResult result = run_admin_command(*line, *config, *storage, kb::platform::system_clock(), secrets);
    if (!result.ok) return fail(result.message);
    std::printf("%s\n", result.message.c_str());
    return 0;
}
