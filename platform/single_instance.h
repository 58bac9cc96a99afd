#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/local_channel.h"

namespace kb::platform {

// The product name that keys the per-user instance lock and socket.
inline constexpr std::string_view kProductName = "Kestrelbay";
// A second start asks this many times, pausing between attempts, for the first instance
// to come to the front before it gives up and starts normally.
inline constexpr int kInstanceAttempts = 25;
inline constexpr uint32_t kInstanceRetryMs = 100;
// The question a second start sends (value 0) and the answer the first gives.
inline constexpr int32_t kBringToFrontQuestion = 1;
inline constexpr int32_t kBringToFrontDone = 1;
// How long a second start waits for the first's answer on one attempt.
inline constexpr int kBringToFrontAnswerMs = 1000;

enum class InstanceCheck {
    First,                // we hold the lock: start normally and listen
    OtherBroughtToFront,  // another instance answered: exit with 1
    StartAnyway,          // another instance holds the lock but never answered
    Failed,               // the lock file can't be opened
};

// Where the lock file lives, a folder no other user can write: $XDG_RUNTIME_DIR when set
// and not empty, else the private folder of base "/tmp" (below), else the home folder.
std::string runtime_folder();
// "<base>/Kestrelbay-<uid>", made with mode 0700 when missing; empty when it is not a real
// folder of this user (another user made it first, or it is a link).
std::string private_runtime_folder(const std::string& base);
// "Kestrelbay-<uid>": one instance per user.
std::string default_instance_name();

// One running terminal per user: an flock'ed lock file "<folder>/<name>.lock" tells a
// start whether another instance runs; the abstract socket "<name>" is how a second
// start asks the first to come to the front (both sides check that the other is the same
// user, since anyone may take an abstract socket name). Owned by one thread (the program entry);
// the bring-to-front callback runs on the listener's own thread. The destructor stops
// listening and releases the lock.
class SingleInstance {
public:
    explicit SingleInstance(std::string name = default_instance_name(), std::string lock_folder = runtime_folder());
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Takes the lock, or asks its holder to come to the front. While the holder doesn't
    // answer (it is still starting), pauses kInstanceRetryMs on clock and tries again,
    // kInstanceAttempts times in all; a holder that has gone meanwhile frees the lock
    // for us.
    InstanceCheck check(Clock& clock);
    bool holds_lock() const { return locked_; }

    // Starts answering second starts; on_bring_to_front runs on the listener thread for
    // each. False when the socket name is taken or the thread can't start.
    bool listen(std::function<void()> on_bring_to_front);
    // Stops answering; waits for a callback in progress. Harmless when not listening.
    void stop_listening() { listener_.stop(); }

private:
    bool try_lock();

    std::string name_;
    std::string lock_path_;
    int lock_fd_ = -1;
    bool locked_ = false;
    LocalListener listener_;
};

}  // namespace kb::platform
