// What the servers push to a logged-in terminal, read by the session's receive loop of
// either connection into the real symbols base, history centre and trade base: quotes,
// news (152), mail (153), symbol, trade and group updates, chart history (156) and news
// bodies. The loop must end at the stream's end whatever came, the stores must stay
// sound (see market_world.h) and mail and news must arrive whole.
//
// Input: byte 0 chooses the connection (bit 0) and whether the server sends the wide
// chart bars (bit 1); the rest is what the server sends, as the session unscrambles it.
#include <cstdint>
#include <vector>

#include "net/protocol.h"
#include "session_world.h"

using namespace kb;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > (1 << 20)) return 0;
    const session::Server which = data[0] & 1 ? session::Server::History : session::Server::Trade;
    const uint16_t build = data[0] & 2 ? 445 : 300;
    // The loop ends on a failed read or on the server's quit, never at a silent end: the
    // quit byte after the input ends it once everything before it was read.
    std::vector<uint8_t> pushed(data + 1, data + size);
    pushed.push_back(net::command_byte(net::Command::Quit));
    fuzzing::SessionWorld world;
    world.answer(which, pushed, build);
    session::ServerSessionAccess::receive_loop(world.session, which);
    fuzzing::check(!session::ServerSessionAccess::stream(world.session, which).is_open());
    fuzzing::check_world(world.world);
    return 0;
}
