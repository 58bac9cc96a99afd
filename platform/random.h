#pragma once
#include <cstdint>

namespace kb::platform {

// Where random numbers come from, so that a test can fix them.
class Random {
public:
    virtual ~Random() = default;
    // 64 random bits.
    virtual uint64_t next() = 0;
    // A number in (0, 1), from the top 53 bits of next().
    double uniform() { return (static_cast<double>(next() >> 11) + 0.5) * 0x1.0p-53; }
};

// A generator whose sequence is fixed by its seed (splitmix64): the same seed gives the same
// numbers on every run and machine. One thread at a time.
class SeededRandom final : public Random {
public:
    explicit SeededRandom(uint64_t seed) : state_(seed) {}
    uint64_t next() override;

private:
    uint64_t state_;
};

// The machine's generator: seeded once from the operating system's entropy. Thread-safe.
Random& system_random();

}  // namespace kb::platform
