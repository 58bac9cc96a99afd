#pragma once

namespace kb::platform {

// Turns SIGINT and SIGTERM into a readable byte on a pipe, so an event loop can end the
// program the orderly way instead of being killed mid-write. One object per process,
// made and used on the main thread; the destructor restores the default handlers.
class TerminationSignals {
public:
    TerminationSignals() = default;
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // Installs the handlers. False when the pipe or a handler can't be set up, or when
    // another object already has them.
    bool install();
    // The descriptor that turns readable when a signal arrived; -1 before install.
    int read_fd() const;
    // Empties the pipe; true when at least one signal had arrived.
    bool take();

private:
    bool installed_ = false;
};

}  // namespace kb::platform
