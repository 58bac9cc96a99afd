#include "platform/local_channel.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kb::platform {

namespace {

// How long a connected peer may take to send its question before it is dropped, so a
// silent client can't stall the listener.
constexpr int kQuestionTimeoutMs = 1000;

// An abstract-namespace address: a leading NUL, then the name (not NUL-terminated).
bool make_address(std::string_view name, sockaddr_un& address, socklen_t& length) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (name.empty() || name.size() + 1 > sizeof address.sun_path) return false;
    std::memcpy(address.sun_path + 1, name.data(), name.size());
    length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    return true;
}

bool wait_readable(int fd, int timeout_ms) {
    pollfd entry{fd, POLLIN, 0};
    int rc;
    do rc = ::poll(&entry, 1, timeout_ms);
    while (rc < 0 && errno == EINTR);
    return rc > 0;
}

// Reads exactly one message, waiting at most timeout_ms between pieces.
bool read_message(int fd, LocalMessage& message, int timeout_ms) {
    auto* bytes = reinterpret_cast<char*>(&message);
    size_t have = 0;
    while (have < sizeof message) {
        if (!wait_readable(fd, timeout_ms)) return false;
        ssize_t n = ::recv(fd, bytes + have, sizeof message - have, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        have += static_cast<size_t>(n);
    }
    return true;
}

bool write_message(int fd, const LocalMessage& message) {
    auto* bytes = reinterpret_cast<const char*>(&message);
    size_t sent = 0;
    while (sent < sizeof message) {
        ssize_t n = ::send(fd, bytes + sent, sizeof message - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

bool same_user(int connection) {
    ucred peer{};
    socklen_t size = sizeof peer;
    if (::getsockopt(connection, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0) return false;
    return peer.uid == ::getuid();
}

}  // namespace

LocalListener::~LocalListener() { stop(); }

bool LocalListener::start(const std::string& name, Handler handler) {
    if (listen_fd_ >= 0) return false;
    sockaddr_un address;
    socklen_t length;
    if (!make_address(name, address, length)) return false;
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(fd, 8) != 0) {
        ::close(fd);
        return false;
    }
    int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake < 0) {
        ::close(fd);
        return false;
    }
    listen_fd_ = fd;
    wake_fd_ = wake;
    handler_ = std::move(handler);
    if (!thread_.start([this] { serve(); })) {
        ::close(listen_fd_);
        ::close(wake_fd_);
        listen_fd_ = wake_fd_ = -1;
        return false;
    }
    return true;
}

void LocalListener::stop() {
    if (listen_fd_ < 0) return;
    uint64_t one = 1;
    ssize_t written = ::write(wake_fd_, &one, sizeof one);
    (void)written;   // an eventfd write of 1 cannot fail short of overflow
    thread_.join();
    ::close(listen_fd_);
    ::close(wake_fd_);
    listen_fd_ = wake_fd_ = -1;
    handler_ = nullptr;
}

void LocalListener::serve() {
    for (;;) {
        pollfd entries[2] = {{listen_fd_, POLLIN, 0}, {wake_fd_, POLLIN, 0}};
        int rc = ::poll(entries, 2, -1);
        if (rc < 0 && errno == EINTR) continue;
        if (rc < 0 || (entries[1].revents & POLLIN)) return;
        if (!(entries[0].revents & POLLIN)) continue;
        int connection = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) continue;
        answer(connection);
        ::close(connection);
    }
}

void LocalListener::answer(int connection) {
    if (!same_user(connection)) return;
    LocalMessage question{};
    if (!read_message(connection, question, kQuestionTimeoutMs)) return;
    if (std::optional<LocalMessage> reply = handler_(question)) write_message(connection, *reply);
}

std::optional<LocalMessage> ask_local(std::string_view name, const LocalMessage& question, int timeout_ms) {
    sockaddr_un address;
    socklen_t length;
    if (!make_address(name, address, length)) return std::nullopt;
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return std::nullopt;
    std::optional<LocalMessage> result;
    LocalMessage reply{};
    // Any user may bind the name first; only a listener of our own user gets the question.
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), length) == 0 && same_user(fd) &&
        write_message(fd, question) && read_message(fd, reply, timeout_ms))
        result = reply;
    ::close(fd);
    return result;
}

}  // namespace kb::platform
