// Feeds fuzz bytes through a local socket into a stream and runs a sequence of typed reads
// on them. Each read must either succeed within its bounds or fail with the stream closed.
//
// Input: byte 0 chooses the key and whether the bytes are scrambled so that the reader sees
// them as written; byte 1 is the number of operations n, the next n bytes choose them (low
// three bits the kind, the rest a size); the remaining bytes are the stream.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "net/packet_stream.h"
#include "net/scramble.h"
#include "platform/clock.h"
#include "tests/support/fed_stream.h"

namespace {

using namespace kb;

constexpr size_t kMaxInput = 65536;
constexpr uint8_t kNoConnection = 6;

void check(bool condition) {
    if (!condition) __builtin_trap();
}

void run(net::PacketStream& stream, uint8_t op) {
    const size_t n = op >> 3;
    bool ok = false;
    switch (op & 7) {
    case 0: {
        uint8_t value = stream.read_byte();
        ok = stream.is_open();
        check(ok || value == kNoConnection);
        break;
    }
    case 1: {
        uint16_t value;
        ok = stream.read_u16(value);
        break;
    }
    case 2: {
        int32_t value;
        ok = stream.read_i32(value);
        break;
    }
    case 3: {
        uint32_t value;
        ok = stream.read_u32(value);
        break;
    }
    case 4: {
        double value;
        ok = stream.read_double(value);
        break;
    }
    case 5: {
        std::vector<char> field(n + 1, 'x');
        ok = stream.read_fixed_text(field.data(), field.size());
        check(field.back() == '\0');
        break;
    }
    case 6: {
        std::string line;
        ok = stream.receive_line(line, n);
        check(line.size() <= n);
        check(line.find_first_of("\r\n") == std::string::npos);
        break;
    }
    case 7: {
        std::vector<uint8_t> raw(n);
        ok = stream.receive_exactly(raw.data(), raw.size());
        stream.bytes_available();
        break;
    }
    }
    check(ok == stream.is_open());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2 || size > kMaxInput) return 0;
    const bool keyed = data[0] & 1;
    const bool prescrambled = data[0] & 2;
    const size_t op_count = std::min<size_t>(data[1], size - 2);
    const uint8_t* ops = data + 2;
    std::vector<uint8_t> bytes(ops + op_count, data + size);

    const net::ConnectionKey key = keyed ? net::connection_key("fuzz") : net::ConnectionKey{};
    static platform::ManualClock clock;
    net::PacketStream stream(nullptr, clock);
    testing::feed_stream(stream, std::move(bytes), key,
                         prescrambled ? testing::Prescramble::Yes : testing::Prescramble::No);

    for (size_t i = 0; i < op_count && stream.is_open(); ++i) run(stream, ops[i]);
    return 0;
}
