#pragma once
#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>

namespace kb::platform {

// Every thread of the system gets the same stack reservation.
inline constexpr size_t kThreadStackSize = 256000;

// A joinable thread created with a chosen stack size. Owned by one thread; start,
// join and the destructor must not race with each other. The destructor joins.
class Thread {
public:
    Thread() = default;
    ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Starts body on a new thread. Returns false when a thread is already held or the
    // system refuses to create one.
    bool start(std::function<void()> body, size_t stack_size = kThreadStackSize);
    // Waits for the thread to end; does nothing when none was started.
    void join();
    // True between start and join.
    bool joinable() const;
    // True while body is still running.
    bool running() const;

    struct State;   // shared with the running thread

private:
    std::shared_ptr<State> state_;
};

}  // namespace kb::platform
