// Reading a compressed block from a stream against decoding the same LZO1X data with
// lzo1x_decompress_safe directly, in the same run.
//
// Method: each payload is compressed into a block and scrambled once, before timing. Every
// iteration measures, one after the other so that all three see the same machine load:
//   - the subject: the scrambled block is written into a local socket pair and the
//     stream's receive state reset (untimed), then the block read is timed: receive calls,
//     unscrambling, size and marker checks, allocations and the decode;
//   - the decode baseline: lzo1x_decompress_safe on the same compressed bytes into an
//     output buffer allocated once;
//   - the stream baseline: the same scrambled bytes read with PacketStream::read into a
//     buffer allocated once (receive and unscrambling, which the bare decoder doesn't pay).
// Times are thread CPU time (user and system, so the receive calls count); the machine is
// shared with builds, and wall time would include being preempted. Reported:
//   throughput_ratio = decode time / read time (1.0 = as fast as the bare decoder);
//   reader_ratio = (decode + stream read) / read time: what the block reader itself adds.
#include <benchmark/benchmark.h>

#include <lzo/lzo1x.h>

#include <time.h>

#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <utility>
#include <vector>

#include "net/block_writer.h"
#include "net/compressed_block.h"
#include "net/packet_stream.h"
#include "net/scramble.h"
#include "platform/clock.h"
#include "tests/support/socket_pair.h"

namespace {

using namespace kb;
using Bytes = std::vector<uint8_t>;

enum Payload : int64_t { Bars = 0, Names = 1 };

// Chart bars as they travel: int32 time, then open, low, high, close and volume as doubles.
Bytes bars(size_t size) {
    Bytes out(size);
    std::mt19937 random(7);
    std::normal_distribution<double> step(0.0, 0.0003);
    double price = 1.08412;
    for (size_t at = 0; at + 44 <= size; at += 44) {
        int32_t time = 1'700'000'000 + static_cast<int32_t>(at / 44) * 60;
        double open = price, close = std::round((price + step(random)) * 1e5) / 1e5;
        double values[5] = {open, std::min(open, close) - 0.0001, std::max(open, close) + 0.0001, close,
                            static_cast<double>(random() % 400)};
        std::memcpy(out.data() + at, &time, 4);
        std::memcpy(out.data() + at + 4, values, sizeof(values));
        price = close;
    }
    return out;
}

// Records with short names in zero-padded text fields and a few numbers, like symbol lists.
Bytes names(size_t size) {
    static const char* const kNames[] = {"EURUSD", "GBPUSD", "USDJPY", "XAUUSD", "US30", "GER40", "BTCUSD"};
    Bytes out(size, 0);
    for (size_t at = 0, i = 0; at + 128 <= size; at += 128, ++i) {
        std::memcpy(out.data() + at, kNames[i % 7], std::strlen(kNames[i % 7]));
        std::memcpy(out.data() + at + 12, "Forex, major pairs", 18);
        int32_t digits = 5 - static_cast<int32_t>(i % 3), index = static_cast<int32_t>(i);
        std::memcpy(out.data() + at + 64, &digits, 4);
        std::memcpy(out.data() + at + 68, &index, 4);
    }
    return out;
}

const net::ConnectionKey& bench_key() {
    static const net::ConnectionKey key = net::connection_key("bench");
    return key;
}

struct Prepared {
    size_t plain_size = 0;
    Bytes packed;      // the LZO1X data alone
    Bytes scrambled;   // the whole block as it travels
};

const Prepared& prepared(int64_t payload, int64_t size) {
    static std::map<std::pair<int64_t, int64_t>, Prepared> cache;
    auto [entry, added] = cache.try_emplace({payload, size});
    Prepared& p = entry->second;
    if (added) {
        Bytes plain = payload == Bars ? bars(static_cast<size_t>(size)) : names(static_cast<size_t>(size));
        net::OutputBuffer out(0);
        net::put_compressed_block(out, plain);
        p.plain_size = plain.size();
        p.packed.assign(out.data() + 8, out.data() + out.size());
        p.scrambled.assign(out.data(), out.data() + out.size());
        net::ScrambleState state;
        net::scramble_outgoing(p.scrambled, bench_key(), state);
    }
    return p;
}

// The machine is shared with builds: time spent by this thread (user and system, so the
// receive calls count) is steadier than wall time, which includes being preempted.
double thread_seconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// A stream reading from a socket pair large enough for one block, keyed as the block was scrambled.
struct Connection {
    platform::ManualClock clock;
    testing::SocketPair pair;
    net::PacketStream stream{nullptr, clock};

    explicit Connection(const Prepared& p) : pair(static_cast<int>(p.scrambled.size() * 2)) {
        stream.set_key(bench_key());
        stream.adopt(std::move(pair.reader));
    }

    // Queues the block again as if it were the first thing on the connection.
    bool refill(const Prepared& p) {
        stream.receive_state() = {};
        return pair.write(p.scrambled);
    }
};

enum class Variant : int64_t { Allocating = 0, Into = 1 };

void BM_ReadCompressed(benchmark::State& state) {
    const Prepared& p = prepared(state.range(0), state.range(1));
    const Variant variant = static_cast<Variant>(state.range(2));
    Connection connection(p);
    const size_t limit = p.plain_size;
    Bytes into(limit + net::kBlockSpareBytes);
    Bytes decoded(p.plain_size + net::kBlockSpareBytes);
    Bytes raw(p.scrambled.size());
    lzo_init();

    double read_seconds = 0, decode_seconds = 0, stream_seconds = 0;
    for (auto _ : state) {
        if (!connection.refill(p)) {
            state.SkipWithError("the socket pair can't hold the block");
            break;
        }
        double start = thread_seconds();
        size_t size;
        if (variant == Variant::Into) {
            size = net::read_compressed_into(connection.stream, into, limit).size;
        } else {
            net::CompressedBlock block = net::read_compressed(connection.stream, limit);
            benchmark::DoNotOptimize(block.bytes.get());
            size = block.size;
        }
        const double elapsed = thread_seconds() - start;
        state.SetIterationTime(elapsed);
        read_seconds += elapsed;

        start = thread_seconds();
        lzo_uint produced = decoded.size();
        const int decode_result =
            lzo1x_decompress_safe(p.packed.data(), p.packed.size(), decoded.data(), &produced, nullptr);
        benchmark::DoNotOptimize(decoded.data());
        decode_seconds += thread_seconds() - start;

        connection.refill(p);
        start = thread_seconds();
        const bool stream_read = connection.stream.read(raw.data(), raw.size());
        benchmark::DoNotOptimize(raw.data());
        stream_seconds += thread_seconds() - start;

        if (size != p.plain_size || decode_result != LZO_E_OK || produced != p.plain_size || !stream_read) {
            state.SkipWithError("a read or the decode failed");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * p.plain_size));
    state.counters["compressed_bytes"] = static_cast<double>(p.packed.size());
    if (read_seconds > 0) {
        state.counters["throughput_ratio"] = decode_seconds / read_seconds;
        state.counters["reader_ratio"] = (decode_seconds + stream_seconds) / read_seconds;
    }
}

}  // namespace

BENCHMARK(BM_ReadCompressed)
    ->ArgNames({"payload", "size", "into"})
    ->ArgsProduct({{Bars, Names}, {65536, 1 << 20}, {0, 1}})
    ->UseManualTime()
    ->MinTime(0.5);

BENCHMARK_MAIN();
