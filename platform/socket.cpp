#include "platform/socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>

namespace kb::platform {

namespace {

// Closing resets the connection instead of lingering over unsent data, so a dropped
// server connection is gone at once and its port is free again.
void set_abortive_close(int fd) {
    linger option{};
    option.l_onoff = 1;
    option.l_linger = 0;
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &option, sizeof(option));
}

bool set_non_blocking(int fd) {
    int flags = fcntl(fd, F_GETFL, 0);
    return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

// A dotted address is taken as it stands; anything else goes through the resolver,
// whose first IPv4 answer is used.
bool resolve_ipv4(const std::string& host, in_addr& out) {
    if (inet_pton(AF_INET, host.c_str(), &out) == 1) return true;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) return false;
    out = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
    freeaddrinfo(found);
    return true;
}

// A connect in progress looks this often whether another thread has closed the socket.
constexpr int kConnectPollSliceMs = 100;

bool is_would_block(int error) { return error == EAGAIN || error == EWOULDBLOCK; }

}  // namespace

Socket::~Socket() { close(); }

Socket::Socket(Socket&& other) noexcept { fd_.store(other.fd_.exchange(-1)); }

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        close();
        fd_.store(other.fd_.exchange(-1));
    }
    return *this;
}

bool Socket::connect(const std::string& host, uint16_t port) {
    close();
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    if (!resolve_ipv4(host, address.sin_addr)) return false;
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    set_abortive_close(fd);
    if (!set_non_blocking(fd)) {
        ::close(fd);
        return false;
    }
    // The socket is ours to close from here on, so that a close() from another thread
    // (a watchdog, a stop) ends a connect that would otherwise wait for the system's
    // time-out.
    fd_.store(fd);
    std::shared_lock using_fd(in_use_);
    if (fd_.load() != fd) return false;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0) return true;
    if (errno != EINPROGRESS && errno != EINTR) {
        using_fd.unlock();
        close();
        return false;
    }
    while (fd_.load() == fd) {
        pollfd waiting{};
        waiting.fd = fd;
        waiting.events = POLLOUT;
        int ready = ::poll(&waiting, 1, kConnectPollSliceMs);
        if (ready < 0 && errno != EINTR) break;
        if (ready <= 0) continue;
        int error = 0;
        socklen_t size = sizeof(error);
        if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0) break;
        return fd_.load() == fd;
    }
    using_fd.unlock();
    close();
    return false;
}

void Socket::close() {
    int fd = fd_.exchange(-1);
    if (fd < 0) return;
    // The shutdown wakes a call in progress on another thread; the descriptor is
    // released only once that call has returned.
    ::shutdown(fd, SHUT_RDWR);
    std::unique_lock alone(in_use_);
    ::close(fd);
}

IoResult Socket::send_some(const void* bytes, size_t n, size_t& transferred) {
    transferred = 0;
    std::shared_lock using_fd(in_use_);
    int fd = fd_.load();
    if (fd < 0) return IoResult::Failed;
    for (;;) {
        ssize_t sent = ::send(fd, bytes, n, MSG_NOSIGNAL);
        if (sent >= 0) {
            transferred = static_cast<size_t>(sent);
            return IoResult::Done;
        }
        if (errno == EINTR) continue;
        return is_would_block(errno) ? IoResult::WouldBlock : IoResult::Failed;
    }
}

IoResult Socket::receive_some(void* bytes, size_t n, size_t& transferred) {
    transferred = 0;
    std::shared_lock using_fd(in_use_);
    int fd = fd_.load();
    if (fd < 0) return IoResult::Failed;
    for (;;) {
        ssize_t received = ::recv(fd, bytes, n, 0);
        if (received > 0) {
            transferred = static_cast<size_t>(received);
            return IoResult::Done;
        }
        if (received == 0) return n == 0 ? IoResult::Done : IoResult::Closed;
        if (errno == EINTR) continue;
        return is_would_block(errno) ? IoResult::WouldBlock : IoResult::Failed;
    }
}

int64_t Socket::bytes_available() {
    std::shared_lock using_fd(in_use_);
    int fd = fd_.load();
    if (fd < 0) return -1;
    int count = 0;
    if (ioctl(fd, FIONREAD, &count) != 0) return -1;
    return count;
}

bool Socket::listen(const std::string& host, uint16_t port, int backlog) {
    close();
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    if (host.empty()) {
        address.sin_addr.s_addr = htonl(INADDR_ANY);
    } else if (!resolve_ipv4(host, address.sin_addr)) {
        return false;
    }
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    int reuse = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof(reuse));
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(fd, backlog) != 0) {
        ::close(fd);
        return false;
    }
    fd_.store(fd);
    return true;
}

uint16_t Socket::local_port() const {
    std::shared_lock using_fd(in_use_);
    int fd = fd_.load();
    if (fd < 0) return 0;
    sockaddr_in address{};
    socklen_t size = sizeof(address);
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) return 0;
    return ntohs(address.sin_port);
}

Socket Socket::accept(int timeout_ms) {
    std::shared_lock using_fd(in_use_);
    int fd = fd_.load();
    if (fd < 0) return Socket{};
    pollfd waiting{};
    waiting.fd = fd;
    waiting.events = POLLIN;
    int ready;
    do {
        ready = ::poll(&waiting, 1, timeout_ms);
    } while (ready < 0 && errno == EINTR);
    if (ready <= 0 || (waiting.revents & POLLIN) == 0) return Socket{};
    int accepted = ::accept4(fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (accepted < 0) return Socket{};
    set_abortive_close(accepted);
    return from_native(accepted);
}

Socket Socket::from_native(int fd) {
    Socket socket;
    socket.fd_.store(fd);
    return socket;
}

}  // namespace kb::platform
