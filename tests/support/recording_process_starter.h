#pragma once
#include <mutex>
#include <string>
#include <vector>

#include "platform/process.h"

namespace kb::testing {

// Remembers every argument vector it was asked to start, starts nothing, and reports
// the given result.
class RecordingProcessStarter final : public platform::ProcessStarter {
public:
    explicit RecordingProcessStarter(bool result = true) : result_(result) {}
    bool start_detached(const std::vector<std::string>& arguments) override {
        std::lock_guard guard(lock_);
        started_.push_back(arguments);
        return result_;
    }
    std::vector<std::vector<std::string>> started() {
        std::lock_guard guard(lock_);
        return started_;
    }

private:
    bool result_;
    std::mutex lock_;
    std::vector<std::vector<std::string>> started_;
};

}  // namespace kb::testing
