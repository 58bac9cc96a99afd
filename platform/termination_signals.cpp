#include "platform/termination_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace kb::platform {

namespace {

// The handler may only touch async-signal-safe state: the pipe's write end.
volatile sig_atomic_t g_write_fd = -1;
int g_read_fd = -1;

void on_signal(int) {
    int saved = errno;
    char byte = 1;
    ssize_t written = ::write(g_write_fd, &byte, 1);   // a full pipe already says "stop"
    (void)written;
    errno = saved;
}

}  // namespace

TerminationSignals::~TerminationSignals() {
    if (!installed_) return;
    ::signal(SIGINT, SIG_DFL);
    ::signal(SIGTERM, SIG_DFL);
    ::close(g_write_fd);
    ::close(g_read_fd);
    g_write_fd = -1;
    g_read_fd = -1;
}

bool TerminationSignals::install() {
    if (g_read_fd >= 0) return false;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    g_read_fd = fds[0];
    g_write_fd = fds[1];
    struct sigaction action {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    installed_ = true;
    return ::sigaction(SIGINT, &action, nullptr) == 0 && ::sigaction(SIGTERM, &action, nullptr) == 0;
}

int TerminationSignals::read_fd() const { return g_read_fd; }

bool TerminationSignals::take() {
    if (g_read_fd < 0) return false;
    bool any = false;
    char buffer[64];
    while (::read(g_read_fd, buffer, sizeof buffer) > 0) any = true;
    return any;
}

}  // namespace kb::platform
