// The terminal's side of the login: the packet goes out, then whatever the server answers
// is read as the reply, the challenge and its final code. The outcome is a return code;
// a logged-in stream stays open.
//
// Input: byte 0 chooses the mode; the rest is the server's answer as the terminal
// unscrambles it.
#include <cstdint>

#include "net/login_packet.h"
#include "net/packet_stream.h"
#include "net/protocol.h"
#include "platform/clock.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/answering_peer.h"

using namespace kb;
using fuzzing::check;

namespace {

constexpr net::LoginMode kModes[] = {net::LoginMode::TradeServer, net::LoginMode::HistoryServer,
                                     net::LoginMode::TradeChannel};
constexpr char kPassword[] = "secret1";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > 65536) return 0;
    const net::LoginMode mode = kModes[data[0] % std::size(kModes)];
    const char* password = mode == net::LoginMode::HistoryServer ? "" : kPassword;
    static platform::ManualClock clock;
    net::PacketStream stream(nullptr, clock);
    fuzzing::AnsweringPeer peer;
    peer.answer(stream, {data + 1, size - 1}, net::login_key(mode, password));
    const int code = net::code_value(net::log_in(stream, 1001, password, mode));
    check(code >= 0 && code <= 255);
    if (code == net::code_value(net::ReturnCode::Ok)) check(stream.is_open());
    return 0;
}
