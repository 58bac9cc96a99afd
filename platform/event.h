#pragma once
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "platform/clock.h"

namespace kb::platform {

enum class EventReset { Manual, Automatic };

// A signalled/unsignalled flag threads can wait for, its time-outs measured on the clock
// it was given (which must outlive it). Thread-safe; its lock is a leaf
// (core/lock_order.h).
class Event {
public:
    explicit Event(Clock& clock, EventReset reset = EventReset::Manual, bool signalled = false);

    void set();
    void reset();
    // Waits until the event is signalled or timeout_ms of the clock pass. Returns true when
    // signalled; an automatic event is reset by the wait that sees it.
    bool wait(uint32_t timeout_ms);
    bool is_set();

private:
    Clock& clock_;
    std::mutex lock_;
    std::condition_variable changed_;
    EventReset reset_;
    bool signalled_;
};

}  // namespace kb::platform
