// The line an access point answers a probe with, read as the probe reads it: a line is
// at most the probe's limit long, holds no line end and only bytes that came.
#include <cstdint>
#include <string>
#include <vector>

#include "config/server_probe.h"
#include "net/packet_stream.h"
#include "tests/fuzz/fuzz_support.h"

using namespace kb;
using fuzzing::check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536) return 0;
    fuzzing::FedInput input(data, size, testing::Prescramble::No);
    net::PacketStream& stream = input.stream;
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
