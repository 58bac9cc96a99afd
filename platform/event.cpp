#include "platform/event.h"

#include <chrono>

namespace kb::platform {

Event::Event(EventReset reset, bool signalled) : reset_(reset), signalled_(signalled) {}

void Event::set() {
    {
        std::lock_guard guard(lock_);
        signalled_ = true;
    }
    changed_.notify_all();
}

void Event::reset() {
    std::lock_guard guard(lock_);
    signalled_ = false;
}

bool Event::wait(uint32_t timeout_ms) {
    std::unique_lock guard(lock_);
    bool ok = changed_.wait_for(guard, std::chrono::milliseconds(timeout_ms), [this] { return signalled_; });
    if (ok && reset_ == EventReset::Automatic) signalled_ = false;
    return ok;
}

bool Event::is_set() {
    std::lock_guard guard(lock_);
    return signalled_;
}

}  // namespace kb::platform
