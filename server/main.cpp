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
    kb::platform::Event never;
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
    AdminResult result = run_admin_command(*line, *config, *storage, kb::platform::system_clock());
    if (!result.ok) return fail(result.message);
    std::printf("%s\n", result.message.c_str());
    return 0;
}
