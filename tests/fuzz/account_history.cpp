// The answer to an account history request: a code byte and a compressed block of trade
// records. Records come back only for an answer the reader accepted, and any refused
// block leaves the stream closed.
//
// Input: the server's answer as the terminal unscrambles it.
#include <cstdint>

#include "net/packet_stream.h"
#include "platform/clock.h"
#include "session/account_history_request.h"
#include "tests/fuzz/answering_peer.h"
#include "tests/fuzz/fuzz_support.h"

using namespace kb;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1 << 20)) return 0;
    static platform::ManualClock clock;
    net::PacketStream stream(nullptr, clock);
    fuzzing::AnsweringPeer peer;
    peer.answer(stream, {data, size});
    std::optional<std::vector<trade::TradeRecord>> records = session::request_account_history(stream, {0, 2'000'000'000});
    if (records) fuzzing::check(records->size() * sizeof(trade::TradeRecord) <= session::kAccountHistoryLimit);
    return 0;
}
