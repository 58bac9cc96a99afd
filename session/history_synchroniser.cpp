#include "session/history_synchroniser.h"

#include <vector>

#include "core/fixed_text.h"
#include "core/journal.h"
#include "market/history_sync_packets.h"

namespace kb::session {

namespace {

constexpr size_t kIdlePassesBeforeClose = 30;
constexpr uint32_t kPassPauseMs = 500;
constexpr uint32_t kFailurePauseMs = 5000;
constexpr uint32_t kPauseStepMs = 100;
// A connection unused for longer may have been dropped by the server: log in afresh.
constexpr uint32_t kConnectionReuseMs = 60000;

}  // namespace

HistorySynchroniser::HistorySynchroniser(market::HistoryCenter& center, HistorySynchroniserEnvironment environment)
    : center_(center), env_(environment), stream_(env_.journal, env_.stream_clock) {}

HistorySynchroniser::~HistorySynchroniser() {
    stopping_ = true;
    stream_.close();
    std::lock_guard thread_guard(thread_lock_);
    thread_.join();
}

bool HistorySynchroniser::start() {
    std::lock_guard thread_guard(thread_lock_);
    // A thread that ended on its own is still held: it has let go of the stream.
    thread_.join();
    return !stopping_ && thread_.start([this] { run(); });
}

void HistorySynchroniser::pause(uint32_t total_ms) {
    for (uint32_t waited = 0; waited < total_ms && !stopping_; waited += kPauseStepMs) env_.clock.sleep_ms(kPauseStepMs);
}

void HistorySynchroniser::run() {
    size_t idle_passes = 0;
    while (!stopping_) {
        const market::WhenIdle when_idle =
            idle_passes + 1 >= kIdlePassesBeforeClose ? market::WhenIdle::End : market::WhenIdle::KeepRunning;
        const std::optional<std::vector<market::HistorySummary>> wanted = center_.next_synchronisation_pass(when_idle);
        if (!wanted) break;
        idle_passes = wanted->empty() ? idle_passes + 1 : 0;
        for (const market::HistorySummary& summary : *wanted) {
            if (stopping_) break;
            if (synchronise_one(summary) == Outcome::Refused) pause(kFailurePauseMs);
        }
        pause(kPassPauseMs);
    }
    if (stream_.is_open()) {
        stream_.send_quit();
        stream_.close();
    }
    if (stopping_) center_.synchronisation_ended();
}

HistoryLoginResult::Status HistorySynchroniser::ensure_connected() {
    const uint32_t now = env_.clock.tick_ms();
    if (stream_.is_open() && now - last_use_ms_ <= kConnectionReuseMs) return HistoryLoginResult::Status::LoggedIn;
    stream_.close();
    const HistoryLoginResult login = env_.login.connect_and_log_in(stream_);
    if (login.status != HistoryLoginResult::Status::LoggedIn) {
        stream_.close();
        return login.status;
    }
    bar_form_ = login.form;
    last_use_ms_ = now;
    return login.status;
}

HistorySynchroniser::Outcome HistorySynchroniser::synchronise_one(const market::HistorySummary& summary) {
    if (env_.journal != nullptr)
        env_.journal->write(core::Level::Info, "HistoryCenter: synchronize '%s%d'", summary.symbol.c_str(), summary.period);
    switch (ensure_connected()) {
        case HistoryLoginResult::Status::LoggedIn: break;
        case HistoryLoginResult::Status::NotConnected: return Outcome::NotConnected;
        case HistoryLoginResult::Status::Refused: return Outcome::Refused;
    }

    market::HistorySyncRequest request{};
    core::set_field_text(request.symbol, summary.symbol);
    request.period = summary.period;
    request.first_time = summary.first_time;
    request.newest_time = summary.last_time;
    request.time_sign = summary.time_sign;
    request.version = market::kHistorySyncVersion;
    net::OutputBuffer& out = stream_.output();
    out.reset();
    market::put_history_sync_request(out, request);
    if (!stream_.send_output()) return Outcome::Refused;

    const market::HistorySyncAnswer answer = market::read_history_sync_answer(stream_, bar_form_);
    using Status = market::HistorySyncAnswer::Status;
    if (answer.status == Status::Unreadable && env_.journal != nullptr)
        env_.journal->write(core::Level::Fault, "Read failed");
    if (answer.status == Status::Refused || answer.status == Status::Unreadable) return Outcome::Refused;
    last_use_ms_ = env_.clock.tick_ms();
    center_.apply_synchronisation(summary, answer);
    return Outcome::Done;
}

}  // namespace kb::session
