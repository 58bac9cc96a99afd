#include "platform/event.h"

namespace kb::platform {

Event::Event(Clock& clock, EventReset reset, bool signalled) : clock_(clock), reset_(reset), signalled_(signalled) {}

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
    const bool ok = clock_.wait_for_signal(changed_, guard, timeout_ms, [this] { return signalled_; });
    if (ok && reset_ == EventReset::Automatic) signalled_ = false;
    return ok;
}

bool Event::is_set() {
    std::lock_guard guard(lock_);
    return signalled_;
}

}  // namespace kb::platform
