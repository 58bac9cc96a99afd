#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "net/output_buffer.h"
#include "net/packet_reader.h"
#include "net/protocol.h"
#include "net/scramble.h"
#include "platform/clock.h"
#include "platform/socket.h"

namespace kb::core {
class Journal;
}

namespace kb::net {

enum class ProxyType : uint8_t { Socks5 = 0, Socks4 = 1, HttpConnect = 2, None = 3 };
enum class LoginMode : uint8_t { TradeServer = 0, HistoryServer = 1, TradeChannel = 2 };

// Process-wide transfer statistics.
uint64_t total_bytes_sent();
uint64_t total_bytes_received();

// One TCP connection to a broker server with its scrambling state and output buffer.
// Used by one thread at a time; close() may also be called from another thread to make
// the owner's blocked call fail. Every transfer failure closes the socket before it
// returns, so callers loop while is_open().
class PacketStream final : public PacketReader {
public:
    explicit PacketStream(core::Journal* journal, platform::Clock& clock = platform::system_clock());
    ~PacketStream();
    PacketStream(const PacketStream&) = delete;
    PacketStream& operator=(const PacketStream&) = delete;

    // ---- connection ----
    // IPv4 connection with abortive close; host is a dotted address or a name (first
    // address of the lookup). False (socket closed) on any failure.
    bool connect_direct(const std::string& host, uint16_t port);
    // "host" or "host:port" (port 1..65535, else false without connecting); no port
    // means default_port. Records the server text ("host:port"). Tunnelling through a
    // proxy is not built yet: while a proxy address is set this fails (stream closed,
    // nothing connected) instead of bypassing the proxy.
    bool connect(const std::string& address, uint16_t default_port);
    void close() override;
    bool is_open() const;
    // Bytes readable without blocking; a failing query closes the stream and gives 0.
    size_t bytes_available();

    // ---- raw transfer (no scrambling) ----
    // Each call tolerates nine would-block results, each followed by a 100 ms pause on the
    // stream's clock; the tenth, a peer that closed, or any other error closes the stream
    // and gives false. Transferred bytes are added to the process-wide counters.
    bool send_all(const void* bytes, size_t n);
    bool receive_exactly(void* bytes, size_t n);
    // Reads up to limit characters or a LF (not stored); CRs are skipped. out gets the
    // line without terminator. False on failure.
    bool receive_line(std::string& out, size_t limit);

    // ---- scrambled transfer ----
    bool send_packet(uint8_t* bytes, size_t n);   // scrambles in place; n == 0 succeeds
    bool send_output();                           // send_packet of the output buffer
    bool send_byte(uint8_t command);              // a single scrambled control byte
    bool send_byte(Command command) { return send_byte(command_byte(command)); }
    // The quit byte: scrambled with the current state, which is not advanced.
    bool send_quit();
    // Receive exactly n bytes and unscramble them; false (stream closed) on failure. The
    // typed reads of PacketReader go through it.
    bool read(void* bytes, size_t n) override;

    OutputBuffer& output() { return output_; }

    // ---- login state (set by the login of a session or by a server accepting one) ----
    void set_key(const ConnectionKey& key) { key_ = key; }
    const ConnectionKey& key() const { return key_; }
    void reset_scrambling();                      // both directions back to 0
    ScrambleState& send_state() { return send_state_; }
    ScrambleState& receive_state() { return receive_state_; }
    void set_login(int32_t login, LoginMode mode) { login_ = login; login_mode_ = mode; }
    int32_t login() const { return login_; }
    LoginMode login_mode() const { return login_mode_; }
    void set_server_build(uint16_t build) { server_build_ = build; }
    uint16_t server_build() const { return server_build_; }
    void set_server_identity(uint32_t identity) { server_identity_ = identity; }
    uint32_t server_identity() const { return server_identity_; }

    // ---- proxy ----
    // Address and credentials are kept up to 127 characters; credentials starting with
    // ":" (no login) are cleared. An empty address means no proxy.
    void set_proxy(ProxyType type, const std::string& address, const std::string& credentials);
    ProxyType proxy_type() const { return proxy_type_; }
    const std::string& proxy_address() const { return proxy_address_; }
    const std::string& proxy_credentials() const { return proxy_credentials_; }
    const std::string& server_text() const { return server_text_; }

    // Takes over an accepted socket (the server side of a connection).
    void adopt(platform::Socket socket);
    core::Journal* journal() const override { return journal_; }
    platform::Clock& clock() const { return clock_; }

private:
    core::Journal* journal_;
    platform::Clock& clock_;
    platform::Socket socket_;
    std::string server_text_;
    ProxyType proxy_type_ = ProxyType::None;
    std::string proxy_address_;
    std::string proxy_credentials_;
    ConnectionKey key_{};
    ScrambleState receive_state_;
    ScrambleState send_state_;
    int32_t login_ = 0;
    LoginMode login_mode_ = LoginMode::TradeServer;
    uint16_t server_build_ = 0;
    uint32_t server_identity_ = 0;
    OutputBuffer output_;
};

}  // namespace kb::net
