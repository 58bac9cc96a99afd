#include "platform/thread.h"

#include <pthread.h>

#include <algorithm>
#include <climits>

namespace kb::platform {

struct Thread::State {
    std::function<void()> body;
    std::atomic<bool> running{true};
    pthread_t handle{};
};

namespace {

void* thread_entry(void* arg) {
    auto* state = static_cast<std::shared_ptr<Thread::State>*>(arg);
    std::shared_ptr<Thread::State> keep = *state;
    delete state;
    keep->body();
    keep->running = false;
    return nullptr;
}

}  // namespace

Thread::~Thread() { join(); }

bool Thread::start(std::function<void()> body, size_t stack_size) {
    if (state_) return false;
    auto state = std::make_shared<State>();
    state->body = std::move(body);
    pthread_attr_t attr;
    if (pthread_attr_init(&attr) != 0) return false;
    // Sanitizers need more room than the device ever had; never go below the system minimum.
    pthread_attr_setstacksize(&attr, std::max<size_t>(stack_size, PTHREAD_STACK_MIN));
    auto* handoff = new std::shared_ptr<State>(state);
    int rc = pthread_create(&state->handle, &attr, thread_entry, handoff);
    pthread_attr_destroy(&attr);
    if (rc != 0) {
        delete handoff;
        return false;
    }
    state_ = std::move(state);
    return true;
}

void Thread::join() {
    if (!state_) return;
    pthread_join(state_->handle, nullptr);
    state_.reset();
}

bool Thread::joinable() const { return state_ != nullptr; }

bool Thread::running() const { return state_ && state_->running; }

}  // namespace kb::platform
