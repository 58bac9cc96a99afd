#pragma once
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "net/scramble.h"
#include "platform/event.h"
#include "platform/socket.h"
#include "platform/thread.h"

namespace kb::testing {

using Bytes = std::vector<uint8_t>;

// A scripted server for protocol tests, for the faults a real server won't produce.
// Listens on 127.0.0.1 at a free port, accepts one connection and runs its script on its
// own thread: the steps run in order, a mismatch is recorded and the script goes on, a
// transfer failure (peer gone, nothing within the timeout) ends it. Every wait is bounded,
// so a broken test fails instead of hanging, and the destructor always joins.
//
// Thread use: the test thread adds steps, calls start(), may call release() and
// wait_for_steps() while the script runs, then finish() and reads the outcome.
class FakeServer {
public:
    explicit FakeServer(uint32_t timeout_ms = 5000);
    ~FakeServer();
    FakeServer(const FakeServer&) = delete;
    FakeServer& operator=(const FakeServer&) = delete;

    uint16_t port() const { return port_; }
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }

    // ---- script steps ----
    // From here on expect() and send() are (un)scrambled with key, both states from 0,
    // as at the server's first reply to a login.
    FakeServer& use_key(const net::ConnectionKey& key);
    // Reads bytes.size() bytes (unscrambled when a key is in use) and compares them.
    FakeServer& expect(Bytes bytes);
    // Reads bytes.size() bytes without unscrambling and compares them.
    FakeServer& expect_raw(Bytes bytes);
    // From here on an expect() whose first byte is not filler first passes over any
    // number of filler bytes: the keep-alives a client sends on its own clock while the
    // script's thread runs late.
    FakeServer& pass_over(uint8_t filler);
    // Sends bytes, scrambled when a key is in use.
    FakeServer& send(Bytes bytes);
    FakeServer& send_raw(Bytes bytes);
    // Sends nothing for ms of real time, or until release().
    FakeServer& stall(uint32_t ms);
    // Closes the connection abortively; the steps after it are not run. A script that
    // closes before it has read anything can reset the connection before the client's
    // connect has returned: let it expect the client's first bytes before closing.
    FakeServer& close();
    // Sends the first cut bytes of the packet (scrambled when a key is in use), then close().
    FakeServer& close_mid_packet(Bytes packet, size_t cut);
    // Sends n pseudo-random bytes (the same ones every run), not scrambled.
    FakeServer& garbage(size_t n);

    // Starts the script; the connection is awaited on the script's thread.
    void start();
    // Ends the stall that is running, or the next one.
    void release();
    // Waits until n steps are done; false after the timeout or when the script ended early.
    bool wait_for_steps(size_t n);
    // Waits for the script to end and joins it. Called again, does nothing.
    void finish();

    // After finish(): the connection came, every step ran and every expectation matched.
    bool all_matched() const;
    // After finish(): one line per mismatch or failure, with the bytes in hex; empty when
    // all matched.
    std::string report() const;

private:
    enum class StepKind { UseKey, PassOver, Expect, ExpectRaw, Send, SendRaw, Stall, Close, CloseMidPacket, Garbage };
    struct Step {
        StepKind kind;
        Bytes bytes = {};
        size_t count = 0;   // cut for CloseMidPacket, length for Garbage, ms for Stall
        net::ConnectionKey key{};
    };

    FakeServer& add(Step step);
    void run();
    bool run_step(size_t index, const Step& step);
    // Reads n bytes into out; on a failure out keeps the bytes that came.
    bool receive(Bytes& out, size_t n);
    // Reads the first byte of an expect() step, passing over filler bytes.
    bool receive_first(Bytes& out, const Step& step);
    bool transmit(const Bytes& bytes, const std::string& what);
    void note(std::string line);

    uint32_t timeout_ms_;
    platform::Socket listener_;
    platform::Socket connection_;
    uint16_t port_ = 0;
    std::vector<Step> steps_;
    platform::Thread thread_;
    // The script's pauses are real: the peer under test runs on its own clock.
    platform::Event released_{platform::system_clock(), platform::EventReset::Automatic};
    std::atomic<bool> stopping_{false};

    std::mutex progress_lock_;
    std::condition_variable progress_changed_;
    size_t steps_done_ = 0;
    bool script_ended_ = false;

    // Touched only by the script thread until finish() has joined it.
    std::optional<net::ConnectionKey> key_;
    std::optional<uint8_t> filler_;
    net::ScrambleState receive_state_;
    net::ScrambleState send_state_;
    std::vector<std::string> problems_;
    bool finished_ = false;
};

// Lowercase hex of the bytes, space-separated ("11 00 00").
std::string hex(const Bytes& bytes);

}  // namespace kb::testing
