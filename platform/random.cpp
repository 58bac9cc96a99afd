#include "platform/random.h"

#include <mutex>
#include <random>

namespace kb::platform {
namespace {

class SystemRandom final : public Random {
public:
    SystemRandom() : generator_(seed()) {}
    uint64_t next() override {
        std::lock_guard guard(lock_);
        return generator_.next();
    }

private:
    static uint64_t seed() {
        std::random_device entropy;
        return (uint64_t{entropy()} << 32) ^ entropy();
    }

    std::mutex lock_;   // a leaf of core/lock_order.h
    SeededRandom generator_;
};

}  // namespace

uint64_t SeededRandom::next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

Random& system_random() {
    static SystemRandom random;
    return random;
}

}  // namespace kb::platform
