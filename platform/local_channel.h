#pragma once
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/local_message.h"
#include "platform/thread.h"

namespace kb::platform {

// Local (unix, abstract-namespace) sockets that carry one question and one answer per
// connection. Only processes of the same user are answered: the listener checks the
// peer's credentials, so another user cannot ask questions of our processes.

// Answers questions on a named abstract socket from its own thread. The handler runs on
// that thread; it returns the answer, or nullopt to close without one. Owned by one
// thread; start and stop must not race. The destructor stops.
class LocalListener {
public:
    using Handler = std::function<std::optional<LocalMessage>(const LocalMessage& question)>;

    LocalListener() = default;
    ~LocalListener();
    LocalListener(const LocalListener&) = delete;
    LocalListener& operator=(const LocalListener&) = delete;

    // Binds the name and starts answering. False when the name is taken (another process
    // listens), the socket can't be made, or the listener already runs.
    bool start(const std::string& name, Handler handler);
    // Stops answering and releases the name; waits for the thread. Harmless when stopped.
    void stop();
    bool listening() const { return listen_fd_ >= 0; }

private:
    void serve();
    void answer(int connection);

    Handler handler_;
    Thread thread_;
    int listen_fd_ = -1;
    int wake_fd_ = -1;
};

// Connects to the named abstract socket, sends the question and waits up to timeout_ms
// of real time for the answer. nullopt when nobody listens, the listener is another
// user's, the peer closes without an answer or the time runs out. Any thread.
std::optional<LocalMessage> ask_local(std::string_view name, const LocalMessage& question, int timeout_ms);

}  // namespace kb::platform
