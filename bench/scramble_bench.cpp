// Scrambling throughput against memcpy of the same bytes, measured in the same run:
// the receive side's unscrambling of a connection's bytes, and the fixed-key file
// scrambling in both directions. Each reports ratio_to_memcpy (1.0 = as fast as a copy).

#include <benchmark/benchmark.h>

#include <ctime>
#include <cstring>
#include <random>
#include <span>
#include <vector>

#include "net/scramble.h"

namespace {

constexpr size_t kBlockSize = 64 * 1024;   // a large reply: a compressed block's worth

double memcpy_bytes_per_second = 0;

std::vector<uint8_t> random_block() {
    std::vector<uint8_t> block(kBlockSize);
    std::mt19937 random(42);
    for (auto& byte : block) byte = static_cast<uint8_t>(random());
    return block;
}

enum class Baseline { No, Yes };

// Runs body over a 64 KB block per iteration and reports bytes/s and, for the measured
// operations, the ratio to memcpy.
template <typename Body>
double run(benchmark::State& state, Body body, Baseline baseline = Baseline::No) {
    std::vector<uint8_t> block = random_block();
    // Processor time, so that other programs on a busy machine don't skew the ratios.
    std::clock_t start = std::clock();
    for (auto _ : state) {
        body(std::span<uint8_t>(block));
        benchmark::DoNotOptimize(block.data());
        benchmark::ClobberMemory();
    }
    double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBlockSize));
    double bytes_per_second = static_cast<double>(state.iterations() * kBlockSize) / seconds;
    if (baseline == Baseline::No && memcpy_bytes_per_second > 0) state.counters["ratio_to_memcpy"] = bytes_per_second / memcpy_bytes_per_second;
    return bytes_per_second;
}

void BM_Memcpy(benchmark::State& state) {
    std::vector<uint8_t> target(kBlockSize);
    memcpy_bytes_per_second = run(state, [&](std::span<uint8_t> block) {
        std::memcpy(target.data(), block.data(), block.size());
        benchmark::DoNotOptimize(target.data());
    }, Baseline::Yes);
}

void BM_ReceiveUnscramble(benchmark::State& state) {
    const kb::net::ConnectionKey key = kb::net::connection_key("benchmark password");
    kb::net::ScrambleState receive_state;
    run(state, [&](std::span<uint8_t> block) { kb::net::unscramble_incoming(block, key, receive_state); });
}

void BM_SendScramble(benchmark::State& state) {
    const kb::net::ConnectionKey key = kb::net::connection_key("benchmark password");
    kb::net::ScrambleState send_state;
    run(state, [&](std::span<uint8_t> block) { kb::net::scramble_outgoing(block, key, send_state); });
}

void BM_FileScramble(benchmark::State& state) {
    run(state, [](std::span<uint8_t> block) { kb::net::file_scramble(block); });
}

void BM_FileUnscramble(benchmark::State& state) {
    run(state, [](std::span<uint8_t> block) { kb::net::file_unscramble(block); });
}

}  // namespace

// The baseline runs first: the ratios need its rate.
BENCHMARK(BM_Memcpy)->MinTime(0.5);
BENCHMARK(BM_ReceiveUnscramble)->MinTime(0.5);
BENCHMARK(BM_SendScramble)->MinTime(0.5);
BENCHMARK(BM_FileScramble)->MinTime(0.5);
BENCHMARK(BM_FileUnscramble)->MinTime(0.5);

BENCHMARK_MAIN();
