#include "tests/support/fake_server.h"

#include <cstdio>
#include <utility>

#include "platform/clock.h"

namespace kb::testing {
namespace {

// Short real pauses while the socket has nothing to give or take.
constexpr uint32_t kPollPauseMs = 1;

}  // namespace

std::string hex(const Bytes& bytes) {
    std::string text;
    char digits[4];
    for (uint8_t byte : bytes) {
        std::snprintf(digits, sizeof(digits), text.empty() ? "%02x" : " %02x", byte);
        text += digits;
    }
    return text;
}

FakeServer::FakeServer(uint32_t timeout_ms) : timeout_ms_(timeout_ms) {
    if (listener_.listen("127.0.0.1", 0)) port_ = listener_.local_port();
}

FakeServer::~FakeServer() {
    stopping_ = true;
    released_.set();
    finish();
}

FakeServer& FakeServer::add(Step step) {
    steps_.push_back(std::move(step));
    return *this;
}

FakeServer& FakeServer::use_key(const net::ConnectionKey& key) { return add({StepKind::UseKey, {}, 0, key}); }
FakeServer& FakeServer::expect(Bytes bytes) { return add({StepKind::Expect, std::move(bytes)}); }
FakeServer& FakeServer::pass_over(uint8_t filler) { return add({StepKind::PassOver, {}, filler}); }
FakeServer& FakeServer::expect_raw(Bytes bytes) { return add({StepKind::ExpectRaw, std::move(bytes)}); }
FakeServer& FakeServer::send(Bytes bytes) { return add({StepKind::Send, std::move(bytes)}); }
FakeServer& FakeServer::send_raw(Bytes bytes) { return add({StepKind::SendRaw, std::move(bytes)}); }
FakeServer& FakeServer::stall(uint32_t ms) { return add({StepKind::Stall, {}, ms}); }
FakeServer& FakeServer::close() { return add({StepKind::Close}); }
FakeServer& FakeServer::close_mid_packet(Bytes packet, size_t cut) {
    return add({StepKind::CloseMidPacket, std::move(packet), cut});
}
FakeServer& FakeServer::garbage(size_t n) { return add({StepKind::Garbage, {}, n}); }

void FakeServer::start() {
    if (!thread_.start([this] { run(); })) {
        note("the script thread could not be started");
        std::lock_guard lock(progress_lock_);
        script_ended_ = true;
    }
}

void FakeServer::release() { released_.set(); }

bool FakeServer::wait_for_steps(size_t n) {
    std::unique_lock lock(progress_lock_);
    progress_changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms_),
                               [&] { return steps_done_ >= n || script_ended_; });
    return steps_done_ >= n;
}

void FakeServer::finish() {
    if (finished_) return;
    thread_.join();
    connection_.close();
    listener_.close();
    finished_ = true;
}

bool FakeServer::all_matched() const { return finished_ && problems_.empty() && steps_done_ == steps_.size(); }

std::string FakeServer::report() const {
    std::string text;
    for (const std::string& line : problems_) text += line + "\n";
    if (steps_done_ < steps_.size())
        text += "ran " + std::to_string(steps_done_) + " of " + std::to_string(steps_.size()) + " steps\n";
    return text;
}

void FakeServer::note(std::string line) { problems_.push_back(std::move(line)); }

void FakeServer::run() {
    if (port_ == 0) {
        note("no listening socket");
    } else {
        connection_ = listener_.accept(static_cast<int>(timeout_ms_));
        if (!connection_.is_open()) note("no connection within " + std::to_string(timeout_ms_) + " ms");
    }
    for (size_t i = 0; connection_.is_open() && i < steps_.size() && !stopping_; ++i) {
        if (!run_step(i, steps_[i])) break;
        std::lock_guard lock(progress_lock_);
        ++steps_done_;
        progress_changed_.notify_all();
    }
    std::lock_guard lock(progress_lock_);
    script_ended_ = true;
    progress_changed_.notify_all();
}

bool FakeServer::receive_first(Bytes& out, const Step& step) {
    const bool scrambled = key_ && step.kind == StepKind::Expect;
    const bool passing = scrambled && filler_ && !step.bytes.empty() && step.bytes[0] != *filler_;
    for (;;) {
        out.clear();
        if (!receive(out, step.bytes.empty() ? 0 : 1)) return false;
        if (scrambled) net::unscramble_incoming(out, *key_, receive_state_);
        if (!passing || out[0] != *filler_) return true;
    }
}

bool FakeServer::run_step(size_t index, const Step& step) {
    const std::string what = "step " + std::to_string(index + 1);
    switch (step.kind) {
    case StepKind::UseKey:
        key_ = step.key;
        receive_state_ = {};
        send_state_ = {};
        return true;
    case StepKind::PassOver:
        filler_ = static_cast<uint8_t>(step.count);
        return true;
    case StepKind::Expect:
    case StepKind::ExpectRaw: {
        Bytes got;
        bool complete = receive_first(got, step);
        if (complete && step.bytes.size() > 1) {
            Bytes rest;
            complete = receive(rest, step.bytes.size() - 1);
            if (key_ && step.kind == StepKind::Expect) net::unscramble_incoming(rest, *key_, receive_state_);
            got.insert(got.end(), rest.begin(), rest.end());
        }
        if (!complete) {
            note(what + " wanted " + std::to_string(step.bytes.size()) + " bytes, the connection gave " +
                 std::to_string(got.size()) + (got.empty() ? std::string() : ": " + hex(got)));
            return false;
        }
        if (got != step.bytes) note(what + " expected " + hex(step.bytes) + "\n  but got " + hex(got));
        return true;
    }
    case StepKind::Send:
    case StepKind::SendRaw:
    case StepKind::CloseMidPacket: {
        Bytes out = step.bytes;
        if (key_ && step.kind != StepKind::SendRaw) net::scramble_outgoing(out, *key_, send_state_);
        if (step.kind == StepKind::CloseMidPacket) out.resize(std::min(step.count, out.size()));
        if (!transmit(out, what)) return false;
        if (step.kind == StepKind::CloseMidPacket) connection_.close();
        return true;
    }
    case StepKind::Stall:
        released_.wait(static_cast<uint32_t>(step.count));
        return true;
    case StepKind::Close:
        connection_.close();
        return true;
    case StepKind::Garbage: {
        Bytes out(step.count);
        uint32_t seed = 0x2545f491;
        for (uint8_t& byte : out) {
            seed = seed * 1664525u + 1013904223u;
            byte = static_cast<uint8_t>(seed >> 24);
        }
        return transmit(out, what);
    }
    }
    return false;
}

bool FakeServer::receive(Bytes& out, size_t n) {
    out.assign(n, 0);
    size_t have = 0;
    uint32_t waited = 0;
    while (have < n && !stopping_) {
        size_t got = 0;
        platform::IoResult result = connection_.receive_some(out.data() + have, n - have, got);
        if (result == platform::IoResult::Done) {
            have += got;
            waited = 0;
        } else if (result == platform::IoResult::WouldBlock && waited < timeout_ms_) {
            platform::system_clock().sleep_ms(kPollPauseMs);
            waited += kPollPauseMs;
        } else {
            break;
        }
    }
    out.resize(have);
    return have == n;
}

bool FakeServer::transmit(const Bytes& bytes, const std::string& what) {
    size_t sent = 0;
    uint32_t waited = 0;
    while (sent < bytes.size() && !stopping_) {
        size_t done = 0;
        platform::IoResult result = connection_.send_some(bytes.data() + sent, bytes.size() - sent, done);
        if (result == platform::IoResult::Done) {
            sent += done;
            waited = 0;
        } else if (result == platform::IoResult::WouldBlock && waited < timeout_ms_) {
            platform::system_clock().sleep_ms(kPollPauseMs);
            waited += kPollPauseMs;
        } else {
            break;
        }
    }
    if (sent == bytes.size()) return true;
    note(what + " sent " + std::to_string(sent) + " of " + std::to_string(bytes.size()) + " bytes");
    return false;
}

}  // namespace kb::testing
