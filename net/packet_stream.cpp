#include "net/packet_stream.h"

#include <cstdio>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

#include "platform/byte_order.h"

namespace kb::net {

namespace {

std::atomic<uint64_t> g_bytes_sent{0};
std::atomic<uint64_t> g_bytes_received{0};

// Texts kept by the stream (server text, proxy address and credentials) are fields of
// 128 bytes on the device: 127 characters at most.
constexpr size_t kTextFieldLimit = 127;
constexpr int kWouldBlockLimit = 10;
constexpr uint32_t kWouldBlockPauseMs = 100;

// One call's allowance for a stalling peer: each of the first nine would-block results
// is followed by a 100 ms pause and a retry; the tenth, or any other failure, ends it.
class WouldBlockAllowance {
public:
    explicit WouldBlockAllowance(platform::Clock& clock) : clock_(clock) {}

    bool retry_after(platform::IoResult result) {
        if (result != platform::IoResult::WouldBlock || ++count_ >= kWouldBlockLimit) return false;
        clock_.sleep_ms(kWouldBlockPauseMs);
        return true;
    }

private:
    platform::Clock& clock_;
    int count_ = 0;
};

std::string limited(const std::string& text) { return text.substr(0, kTextFieldLimit); }

// Strict port text: decimal digits only, 1..65535.
bool parse_port(const std::string& text, uint16_t& port) {
    if (text.empty() || text.size() > 5) return false;
    uint32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    if (value < 1 || value > 65535) return false;
    port = static_cast<uint16_t>(value);
    return true;
}

}  // namespace

uint64_t total_bytes_sent() { return g_bytes_sent.load(std::memory_order_relaxed); }
uint64_t total_bytes_received() { return g_bytes_received.load(std::memory_order_relaxed); }

// ---- PacketStream: connection ----

PacketStream::PacketStream(core::Journal* journal, platform::Clock& clock)
    : journal_(journal), clock_(clock) {}

PacketStream::~PacketStream() { close(); }

bool PacketStream::connect_direct(const std::string& host, uint16_t port) {
    if (socket_.connect(host, port)) return true;
    socket_.close();
    return false;
}

bool PacketStream::connect(const std::string& address, uint16_t default_port) {
    close();
    size_t colon = address.find(':');
    std::string host = address.substr(0, colon);
    uint16_t port = default_port;
    if (colon != std::string::npos && !parse_port(address.substr(colon + 1), port)) return false;
    if (host.empty()) return false;

    char text[kTextFieldLimit + 1];
    std::snprintf(text, sizeof(text), "%s:%d", host.c_str(), static_cast<int>(port));
    server_text_ = text;

    // Tunnelling through a proxy is not available yet: refuse rather than silently
    // bypass the proxy the user configured.
    if (!proxy_address_.empty()) return false;
    return connect_direct(host, port);
}

void PacketStream::close() { socket_.close(); }

bool PacketStream::is_open() const { return socket_.is_open(); }

size_t PacketStream::bytes_available() {
    int64_t count = socket_.bytes_available();
    if (count < 0) {
        close();
        return 0;
    }
    return static_cast<size_t>(count);
}

void PacketStream::adopt(platform::Socket socket) { socket_ = std::move(socket); }

// ---- raw transfer ----

bool PacketStream::send_all(const void* bytes, size_t n) {
    const auto* next = static_cast<const uint8_t*>(bytes);
    WouldBlockAllowance allowance(clock_);
    while (n > 0) {
        size_t sent = 0;
        platform::IoResult result = socket_.send_some(next, n, sent);
        if (result == platform::IoResult::Done) {
            g_bytes_sent.fetch_add(sent, std::memory_order_relaxed);
            next += sent;
            n -= sent;
        } else if (!allowance.retry_after(result)) {
            close();
            return false;
        }
    }
    return true;
}

bool PacketStream::receive_exactly(void* bytes, size_t n) {
    auto* next = static_cast<uint8_t*>(bytes);
    WouldBlockAllowance allowance(clock_);
    while (n > 0) {
        size_t received = 0;
        platform::IoResult result = socket_.receive_some(next, n, received);
        if (result == platform::IoResult::Done) {
            g_bytes_received.fetch_add(received, std::memory_order_relaxed);
            next += received;
            n -= received;
        } else if (!allowance.retry_after(result)) {
            close();
            return false;
        }
    }
    return true;
}

bool PacketStream::receive_line(std::string& out, size_t limit) {
    out.clear();
    WouldBlockAllowance allowance(clock_);
    while (out.size() < limit) {
        char c = 0;
        size_t received = 0;
        platform::IoResult result = socket_.receive_some(&c, 1, received);
        if (result == platform::IoResult::Done) {
            g_bytes_received.fetch_add(received, std::memory_order_relaxed);
            if (c == '\n') break;
            if (c != '\r') out.push_back(c);
        } else if (!allowance.retry_after(result)) {
            close();
            return false;
        }
    }
    return true;
}

// ---- scrambled transfer ----

bool PacketStream::send_packet(uint8_t* bytes, size_t n) {
    if (n == 0) return true;
    scramble_outgoing(std::span<uint8_t>(bytes, n), key_, send_state_);
    return send_all(bytes, n);
}

bool PacketStream::send_output() { return send_packet(output_.data(), output_.size()); }

bool PacketStream::send_byte(uint8_t command) { return send_packet(&command, 1); }

bool PacketStream::send_quit() {
    uint8_t scrambled = scramble_without_advancing(command_byte(Command::Quit), key_, send_state_);
    return send_all(&scrambled, 1);
}

bool PacketStream::read(void* bytes, size_t n) {
    if (!receive_exactly(bytes, n)) return false;
    unscramble_incoming(std::span<uint8_t>(static_cast<uint8_t*>(bytes), n), key_, receive_state_);
    return true;
}

// ---- login state and proxy ----

void PacketStream::reset_scrambling() {
    receive_state_ = ScrambleState{};
    send_state_ = ScrambleState{};
}

void PacketStream::set_proxy(ProxyType type, const std::string& address, const std::string& credentials) {
    proxy_type_ = type;
    proxy_address_ = limited(address);
    proxy_credentials_ = credentials.starts_with(':') ? std::string() : limited(credentials);
}

}  // namespace kb::net
