#pragma once
#include <mutex>
#include <string>
#include <vector>

#include "platform/sound.h"

namespace kb::testing {

// Remembers every path it was asked to play, in order.
class RecordingSoundPlayer final : public platform::SoundPlayer {
public:
    void play_async(const std::string& path) override {
        std::lock_guard guard(lock_);
        played_.push_back(path);
    }
    std::vector<std::string> played() {
        std::lock_guard guard(lock_);
        return played_;
    }

private:
    std::mutex lock_;
    std::vector<std::string> played_;
};

}  // namespace kb::testing
