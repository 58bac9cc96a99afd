// The trade context's public side and its worker thread: submit, cancel, stop, the
// watchdog, the idle loop, connecting and sending.
#include "session/trade_context.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <string>

#include "config/server_connect.h"
#include "config/terminal_config.h"
#include "core/fixed_text.h"
#include "core/journal.h"
#include "net/login_packet.h"
#include "net/trade_request_signing.h"
#include "trade/request_journal.h"
#include "trade/request_sink.h"

namespace kb::session {

namespace {

using net::ReturnCode;
using trade::RequestState;

bool passed(uint32_t now, uint32_t deadline) { return static_cast<int32_t>(now - deadline) > 0; }

}  // namespace

TradeContext::TradeContext(TradeContextEnvironment environment)
    : env_(environment), stream_(&environment.journal, environment.stream_clock) {}

TradeContext::~TradeContext() { stop(); }

ReturnCode TradeContext::submit(const trade::TradeRequest& request, platform::Notifier* window) {
    assert(!on_worker() && "I5: the worker never submits");
    std::lock_guard control(control_lock_);
    if (busy_.exchange(true)) return ReturnCode::TradeContextBusy;
    {
        std::lock_guard guard(lock_);
        request_ = request;
        requester_ = window;
        canceller_ = nullptr;
        request_id_ = 0;
    }
    cancel_requested_ = false;
    timed_out_ = false;
    finished_.reset();
    // The watchdog may look before the worker takes the request up; it measures from here.
    note_activity();
    ready_ = true;

    std::lock_guard guard(thread_lock_);
    if (thread_active_) {
        assert(thread_.joinable() && "I4: an active worker was started");
        return ReturnCode::Ok;
    }
    // A worker that has decided to end is past its last use of the context.
    thread_.join();
    if (!thread_.start([this] {
            worker_ = std::this_thread::get_id();
            run();
            worker_ = std::thread::id{};
        })) {
        ready_ = false;
        busy_ = false;
        return ReturnCode::CommonError;
    }
    thread_active_ = true;
    return ReturnCode::Ok;
}

void TradeContext::cancel(platform::Notifier* window) {
    if (!busy_) {
        post(window, core::Notification::CancelResult, net::code_value(ReturnCode::CommonError));
        return;
    }
    if (cancel_requested_) return;
    {
        std::lock_guard guard(lock_);
        canceller_ = window;
    }
    cancel_requested_ = true;
}

std::pair<double, double> TradeContext::last_prices() const {
    std::lock_guard guard(lock_);
    return {bid_, ask_};
}

trade::TradeRecord TradeContext::result() const {
    std::lock_guard guard(lock_);
    return result_;
}

bool TradeContext::wait_for_finish(uint32_t timeout_ms) {
    ++waiters_;
    const bool finished = finished_.wait(timeout_ms);
    --waiters_;
    if (finished) taken_.set();
    return finished;
}

bool TradeContext::thread_running() const {
    std::lock_guard control(control_lock_);
    return thread_.running();
}

void TradeContext::watchdog() {
    assert(!on_worker() && "I5: the worker never runs the watchdog");
    std::unique_lock control(control_lock_, std::try_to_lock);
    if (!control.owns_lock() || !thread_.running() || !ready_) return;
    if (env_.clock.tick_ms() - activity_ <= activity_timeout_) return;
    timed_out_ = true;
    stream_.close();
}

void TradeContext::stop() {
    assert(!on_worker() && "I5: stop waits for the worker, which can't wait for itself");
    std::lock_guard control(control_lock_);
    stop_ = true;
    stream_.close();
    const uint32_t start = env_.clock.tick_ms();
    while (thread_.running() && env_.clock.tick_ms() - start < kTradeStopWaitMs) env_.clock.sleep_ms(kTradePollMs);
    // A thread can't be ended safely from outside; with its connection closed every call
    // it makes fails, so it is waited for after the line.
    if (thread_.running()) env_.journal.write(core::Level::Fault, "TradeContext: deadlock error");
    thread_.join();
    {
        std::lock_guard guard(thread_lock_);
        thread_active_ = false;
    }
    // A request under way (sent, accepted or in process, or not yet taken up by the worker)
    // ends here, so that its requester doesn't wait for ever and the channel takes the next.
    if (ready_) fail(ReturnCode::NoConnection);
    {
        std::lock_guard guard(lock_);
        request_ = {};
        result_ = {};
        bid_ = ask_ = 0;
        requester_ = canceller_ = nullptr;
    }
    finished_.set();
    taken_.set();
    state_ = RequestState::Ready;
    ready_ = false;
    busy_ = false;
    stop_ = false;
}

// ---- worker ----

void TradeContext::run() {
    platform::Clock& clock = env_.clock;
    uint32_t idle_deadline = clock.tick_ms() + kTradeIdleMs;
    uint32_t keep_alive = clock.tick_ms() + kTradeIdlePingMs;
    while (!stop_) {
        if (!ready_) {
            const uint32_t now = clock.tick_ms();
            // may_end() hands the thread over to the next submit(): nothing may follow it.
            if (passed(now, idle_deadline)) {
                if (may_end()) return;
                continue;
            }
            if (passed(now, keep_alive)) {
                if (!stream_.send_byte(net::Command::KeepAlive)) {
                    if (may_end()) return;
                    continue;
                }
                keep_alive = now + kTradeIdlePingMs;
            }
            clock.sleep_ms(kTradeIdlePollMs);
            continue;
        }
        process_request();
        idle_deadline = clock.tick_ms() + kTradeIdleMs;
        keep_alive = clock.tick_ms() + kTradeIdlePingMs;
        clock.sleep_ms(kTradeAfterRequestMs);
    }
    // Stopped: stop() holds off submit() until it has joined this thread.
    stream_.close();
    std::lock_guard guard(thread_lock_);
    thread_active_ = false;
}

// The worker may end only while no request waits; submit() checks under the same lock.
bool TradeContext::may_end() {
    std::lock_guard guard(thread_lock_);
    if (ready_) return false;
    stream_.close();
    thread_active_ = false;
    return true;
}

void TradeContext::process_request() {
    assert(busy_ && "I1: a request under way was admitted");
    assert(!finished_.is_set() && "I3: a request under way is not finished");
    const ReturnCode login_code = connect_and_log_in();
    if (login_code != ReturnCode::Ok) {
        fail(timed_out_.exchange(false) ? ReturnCode::TradeTimeout : login_code);
        return;
    }
    if (!send_request()) return;
    while (ready_ && !stop_) {
        if (cancel_requested_.exchange(false)) handle_cancel();
        if (!ready_ || receive_step() == Step::End) break;
    }
}

ReturnCode TradeContext::connect_and_log_in() {
    if (stream_.is_open()) return ReturnCode::Ok;
    const config::LoginRecord account = env_.config.login_record();
    {
        std::lock_guard guard(lock_);
        login_ = account.login;
    }
    const std::string server(core::field_text(account.server));
    if (server.empty()) return ReturnCode::CommonError;

    activity_timeout_ = kTradeConnectActivityMs;
    note_activity();
    const config::ListConnection connection = config::connect_through_list(stream_, server, env_.servers);
    activity_timeout_ = kTradeActivityMs;
    if (!connection.connected) {
        env_.journal.write(core::Level::Error, "'%d': cannot connect to: %s", account.login, server.c_str());
        return ReturnCode::NoConnection;
    }
    const std::string password(core::field_text(account.password));
    const ReturnCode code = net::log_in(stream_, account.login, password, net::LoginMode::TradeChannel);
    if (code == ReturnCode::Ok) {
        note_activity();
        next_ping_ = env_.clock.tick_ms() + kTradePingMs;
        return ReturnCode::Ok;
    }
    stream_.close();
    if (code == ReturnCode::SecuredLoginRequired) {
        // The terminal keeps no key pairs yet, so no account has a key file to answer with.
        env_.journal.write(core::Level::Error, "'%d': public key was not found", account.login);
        return ReturnCode::CommonError;
    }
    env_.journal.write(core::Level::Error, "'%d': cannot login [%s]", account.login, net::return_code_text(code));
    return code;
}

bool TradeContext::send_request() {
    drop_stale_input();
    net::TradeRequestBytes bytes;
    {
        std::lock_guard guard(lock_);
        order_ = opposite_ = std::nullopt;
        digits_ = 5;
        if (trade::RequestSink* trade = env_.trade) {
            if (request_.ticket) order_ = trade->trade_by_ticket(request_.ticket);
            if (request_.opposite_ticket) opposite_ = trade->trade_by_ticket(request_.opposite_ticket);
            const int digits = trade->symbol_digits(core::field_text(request_.symbol));
            if (digits >= 0) digits_ = digits;
            else if (order_) digits_ = order_->digits;
        }
        if (state_ == RequestState::Ready) trade::RequestJournal(env_.journal, login_, digits_, request_, order_, opposite_).sending();
        std::memcpy(bytes.data(), &request_, bytes.size());
        request_id_ = 0;
    }
    if (!net::send_trade_request(stream_, bytes)) {
        stream_.close();
        journal_error("TradeContext: transaction sending error");
        fail(timed_out_.exchange(false) ? ReturnCode::TradeTimeout : ReturnCode::CommonError);
        return false;
    }
    note_activity();
    return true;
}

// What waits unread before a request belongs to none (the idle loop's keep-alive answers,
// the answer to a cancel that came after its request ended): read past it, so the request
// reads only its own notifications.
void TradeContext::drop_stale_input() {
    uint8_t scrap[256];
    for (size_t waiting = stream_.bytes_available(); waiting > 0; waiting = stream_.bytes_available())
        if (!stream_.read(scrap, std::min(waiting, sizeof scrap))) return;
}

TradeContext::Step TradeContext::receive_step() {
    platform::Clock& clock = env_.clock;
    if (timed_out_.exchange(false)) {
        fail(ReturnCode::TradeTimeout);
        return Step::End;
    }
    if (!stream_.is_open()) {
        fail(ReturnCode::NoConnection);
        return Step::End;
    }
    if (stream_.bytes_available() == 0) {
        if (passed(clock.tick_ms(), next_ping_)) {
            if (!stream_.send_byte(net::Command::KeepAlive)) {
                stream_.close();
                journal_error("TradeContext: ping error");
                fail(timed_out_.exchange(false) ? ReturnCode::TradeTimeout : ReturnCode::NoConnection);
                return Step::End;
            }
            next_ping_ = clock.tick_ms() + kTradePingMs;
        }
        clock.sleep_ms(kTradePollMs);
        return Step::Continue;
    }
    uint8_t command = 0;
    if (!stream_.read(&command, 1)) {
        journal_error("TradeContext: command reading error");
        stream_.close();
        fail(timed_out_.exchange(false) ? ReturnCode::TradeTimeout : ReturnCode::CommonError);
        return Step::End;
    }
    next_ping_ = clock.tick_ms() + kTradePingMs;
    // Only the request's own traffic holds off the watchdog: a server that answers every
    // keep-alive while its dealer sits on the request must not keep it open for ever.
    switch (static_cast<net::Command>(command)) {
        case net::Command::Quit: fail(ReturnCode::NoConnection); return Step::End;
        case net::Command::TradeRequest:
            note_activity();
            on_notification();
            break;
        case net::Command::TradeReject:
            note_activity();
            on_reject();
            break;
        case net::Command::KeepAlive: break;
        default:
            env_.journal.write(core::Level::Error, "TradeContext: unknown command %02X", command);
            fail(ReturnCode::CommonError);
            return Step::End;
    }
    return ready_ ? Step::Continue : Step::End;
}

void TradeContext::handle_cancel() {
    platform::Notifier* canceller = nullptr;
    int32_t id = 0;
    {
        std::lock_guard guard(lock_);
        canceller = canceller_;
        id = request_id_;
    }
    const RequestState state = state_;
    if (state == RequestState::Ready) {
        post(canceller, core::Notification::CancelResult, net::code_value(ReturnCode::Ok));
        {
            std::lock_guard guard(lock_);
            journal_state(ReturnCode::RequestCanceled);
        }
        end_request(ReturnCode::RequestCanceled, Connection::Close);
        return;
    }
    if (state != RequestState::Accepted) {
        post(canceller, core::Notification::CancelResult, net::code_value(ReturnCode::OrderLocked));
        return;
    }
    net::OutputBuffer& out = stream_.output();
    out.reset();
    out.put_command(net::Command::TradeReject);
    out.put_i32(id);
    const ReturnCode sent = stream_.send_output() ? ReturnCode::Ok : ReturnCode::CommonError;
    post(canceller, core::Notification::CancelResult, net::code_value(sent));
}

// ---- finishing ----

void TradeContext::finish(ReturnCode code) {
    if (const std::optional<RequestState> goes_on = trade::state_going_on(code)) {
        assert(ready_ && "I2: only a request under way is accepted or in process");
        state_ = *goes_on;
        note_activity();
        std::lock_guard guard(lock_);
        post(requester_, core::Notification::TradeResult, net::code_value(code));
        return;
    }
    const bool lost = code == ReturnCode::CommonError || code == ReturnCode::NoConnection;
    end_request(code, lost ? Connection::Close : Connection::Keep);
}

void TradeContext::fail(ReturnCode code) {
    {
        std::lock_guard guard(lock_);
        journal_state(code);
    }
    finish(code);
}

void TradeContext::end_request(ReturnCode code, Connection connection) {
    note_activity();
    {
        std::lock_guard guard(lock_);
        post(requester_, core::Notification::TradeResult, net::code_value(code));
    }
    finished_.set();
    assert(waiters_ >= 0 && "I7: waiters are counted in and out");
    if (waiters_ > 0) taken_.wait(kTradeResultTakenMs);
    if (connection == Connection::Close) stream_.close();
    state_ = RequestState::Ready;
    ready_ = false;
    busy_ = false;
}

void TradeContext::note_activity() { activity_ = env_.clock.tick_ms(); }

void TradeContext::post(platform::Notifier* window, core::Notification code, intptr_t value) {
    core::post(window, code, value);
}

void TradeContext::journal_error(const char* text) { env_.journal.write(core::Level::Error, "%s", text); }

}  // namespace kb::session
