#pragma once
#include <functional>
#include <mutex>
#include <string_view>

#include "platform/clock.h"

namespace kb::server {

// The server's activity log: lines "YYYY.MM.DD HH:MM:SS text" in server time (UTC), handed
// to a sink (standard error by default; tests capture them). Thread-safe: one lock
// serialises formatting and the sink (a leaf of core/lock_order.h).
class ServerLog {
public:
    using Sink = std::function<void(std::string_view line)>;

    explicit ServerLog(platform::Clock& clock, Sink sink = {});

    void write(const char* format, ...) __attribute__((format(printf, 2, 3)));

private:
    std::mutex lock_;
    platform::Clock& clock_;
    Sink sink_;
};

}  // namespace kb::server
