// The line an access point answers a probe with, read as the probe reads it: a line is
// at most the probe's limit long, holds no line end and only bytes that came.
#include <cstdint>
#include <string>
#include <vector>

#include "config/server_probe.h"
#include "net/packet_stream.h"
#include "platform/clock.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/support/fed_stream.h"

using namespace kb;
using fuzzing::check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536) return 0;
    static platform::ManualClock clock;
    net::PacketStream stream(nullptr, clock);
    testing::feed_stream(stream, std::vector<uint8_t>(data, data + size), {}, testing::Prescramble::No);
    size_t consumed = 0;
    std::string line;
    while (stream.is_open()) {
        if (!stream.receive_line(line, config::kProbeReplyLimit)) break;
        check(line.size() <= config::kProbeReplyLimit);
        check(line.find_first_of("\r\n") == std::string::npos);
        consumed += line.size();
        check(consumed <= size);
    }
    return 0;
}
