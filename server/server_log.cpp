#include "server/server_log.h"

#include <cstdarg>
#include <algorithm>
#include <cstdio>

namespace kb::server {

ServerLog::ServerLog(platform::Clock& clock, Sink sink) : clock_(clock), sink_(std::move(sink)) {
    if (!sink_) {
        sink_ = [](std::string_view line) {
            std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
            std::fflush(stderr);
        };
    }
}

void ServerLog::write(const char* format, ...) {
    std::lock_guard guard(lock_);
    platform::DateTime now = platform::utc_calendar(clock_.unix_time());
    char line[1024];
    int prefix = std::snprintf(line, sizeof line, "%04d.%02d.%02d %02d:%02d:%02d ", now.year, now.month, now.day,
                               now.hour, now.minute, now.second);
    va_list args;
    va_start(args, format);
    int body = std::vsnprintf(line + prefix, sizeof line - static_cast<size_t>(prefix), format, args);
    va_end(args);
    if (body < 0) return;
    size_t length = std::min(sizeof line - 1, static_cast<size_t>(prefix + body));
    sink_(std::string_view(line, length));
}

}  // namespace kb::server
