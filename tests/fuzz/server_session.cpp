// Random client byte streams after a valid login, on both doors, run through the server's
// command table in-process: a handler may close the connection but must never crash, hang
// or read out of bounds.
//
// Each door's session logs in once for real, over a socket pair, when the run starts;
// every input is then a fresh connection of that logged-in session, read command by
// command the way its loop reads them, the answers going into the void.
//
// Input: byte 0 chooses the door (bit 0); the rest is what the client sends after its
// login, as the server unscrambles it.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <thread>

#include "server/command_table.h"
#include "tests/fuzz/answering_peer.h"
#include "tests/fuzz/demo_server.h"

namespace {

using namespace kb;

struct Harness {
    fuzzing::DemoServer server;
    std::unique_ptr<server::ClientSession> trade =
        logged_in(server::ServerRole::Trade, net::LoginMode::TradeServer, fuzzing::kDemoPassword);
    std::unique_ptr<server::ClientSession> history_door =
        logged_in(server::ServerRole::History, net::LoginMode::HistoryServer, "");

    // A session that has served one real login and the end of its connection.
    std::unique_ptr<server::ClientSession> logged_in(server::ServerRole role, net::LoginMode mode,
                                                     const char* password) {
        net::PacketStream client(nullptr, platform::system_clock());
        platform::Socket client_end;
        std::unique_ptr<server::ClientSession> session = server.session(role, client_end);
        client.adopt(std::move(client_end));
        std::thread serving([&] { session->run(); });
        const net::ReturnCode code = net::log_in(client, fuzzing::kDemoLogin, password, mode);
        client.send_quit();   // ends the session's loop at once, not at its idle limit
        client.close();
        serving.join();
        if (code != net::ReturnCode::Ok || session->account().login != fuzzing::kDemoLogin) {
            std::fprintf(stderr, "login at start: code %d\n", net::code_value(code));
            std::abort();
        }
        return session;
    }
};

Harness& harness() {
    static Harness instance;
    return instance;
}

}  // namespace

// The shared state lives for the whole run; made before the first input is traced.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    harness();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > (1 << 20)) return 0;
    Harness& h = harness();
    const bool history_door = data[0] & 1;
    server::ClientSession& session = history_door ? *h.history_door : *h.trade;
    // Every handler of the door's table is reached: the rule that some commands wait for
    // the login data is the loop's, not the handlers'.
    const server::CommandTable& commands =
        history_door ? server::commands_for(server::ServerRole::History, net::LoginMode::HistoryServer)
                     : server::commands_for(server::ServerRole::Trade, net::LoginMode::TradeServer);

    net::PacketStream& stream = session.stream();
    fuzzing::AnsweringPeer peer;
    peer.answer(stream, {data + 1, size - 1}, stream.key());
    while (stream.is_open() && stream.bytes_available() > 0) {
        const uint8_t command = stream.read_byte();
        if (!stream.is_open()) break;
        const server::CommandHandler handler = commands.find(command).handler;
        if (!handler || handler(session) == server::HandlerResult::Close) break;
    }
    stream.close();
    return 0;
}
