#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "core/notifications.h"
#include "net/packet_stream.h"
#include "platform/clock.h"
#include "platform/event.h"
#include "platform/notifier.h"
#include "platform/thread.h"
#include "trade/trade_notification.h"
#include "trade/trade_record.h"
#include "trade/trade_request.h"

namespace kb::core {
class Journal;
}
namespace kb::config {
class TerminalConfig;
class ServerList;
}  // namespace kb::config
namespace kb::trade {
class RequestSink;
}

namespace kb::session {

// Waits of a trade context.
inline constexpr uint32_t kTradeIdleMs = 30000;          // the thread ends after this long without requests
inline constexpr uint32_t kTradeIdlePingMs = 10000;      // keep-alives while idle
inline constexpr uint32_t kTradePingMs = 20000;          // keep-alives while a request is followed
inline constexpr uint32_t kTradeActivityMs = 60000;      // the watchdog's limit
inline constexpr uint32_t kTradeConnectActivityMs = 20000;
inline constexpr uint32_t kTradeStopWaitMs = 30000;
inline constexpr uint32_t kTradeResultTakenMs = 5000;
inline constexpr uint32_t kTradeIdlePollMs = 50;
inline constexpr uint32_t kTradePollMs = 50;
inline constexpr uint32_t kTradeAfterRequestMs = 100;

// What a trade context works with. Everything referenced must outlive the context.
struct TradeContextEnvironment {
    platform::Clock& clock;            // waits, deadlines and activity times
    platform::Clock& stream_clock;     // the stream's short pauses while the server stalls
    core::Journal& journal;
    config::TerminalConfig& config;    // the current account
    config::ServerList& servers;       // how a server name is reached
    trade::RequestSink* trade = nullptr;   // may be null: outcomes are then only journaled
};

// Sends one trade request at a time to the trade server over a connection of its own
// (a trade channel login) and follows the server's notifications until the request is
// done, rejected, failed or cancelled; the outcome goes to the trade base as transactions,
// to the journal and, as TradeResult, to the requesting window.
//
// submit, cancel, the queries, watchdog and stop belong to the user-interface thread;
// the worker thread does all network traffic. The worker starts with the first request
// and ends after 30 s without one, closing its connection. Its three locks nest as
// core/lock_order.h shows: control, then thread or request; the request lock is held
// while the trade base is asked and the requester notified.
//
//   Ready --submit--> send 190 --142--> Accepted --143--> InProcess
//     ^                  |                 |                  |
//     |                  | cancel:         | cancel: send 191 |
//     |                  | 144, closed     |                  |
//     +------------------+------ 0 done / 138 requote / any other code: finish
//
// Finishing posts TradeResult with the code and returns to Ready; CommonError and NoConnection
// also close the connection, so the next request connects and logs in again.
//
// Invariants (I1-I5 and I7 are asserted in debug builds, on the thread that sees them
// settled; I6 is kept by the code's structure):
//   I1. ready_ implies busy_: submit sets ready_ only after it won busy_, and every end
//       clears ready_ before busy_.
//   I2. state_ is Accepted or InProcess only while ready_: end_request and stop return it
//       to Ready before they clear ready_.
//   I3. While ready_ holds, finished_ is not set: submit resets it before it sets ready_,
//       end_request and stop set it before they clear ready_.
//   I4. thread_active_ (under thread_lock_) means a started worker that will still look at
//       ready_: it is cleared only by the worker itself (may_end, while !ready_, or at the
//       end of run) or by stop after the join, so submit never starts a second worker.
//   I5. The worker never takes control_lock_ and never calls submit, stop or watchdog
//       (stop would wait for itself).
//   I6. Lock order: control_lock_ before thread_lock_ or lock_; thread_lock_ and lock_ are
//       never held together. lock_ is held while a notification is read and handled.
//   I7. waiters_ counts the callers inside wait_for_finish; the worker waits on taken_ only
//       while it is above 0, and for at most kTradeResultTakenMs.
class TradeContext {
public:
    explicit TradeContext(TradeContextEnvironment environment);
    // Stops the worker.
    ~TradeContext();
    TradeContext(const TradeContext&) = delete;
    TradeContext& operator=(const TradeContext&) = delete;

    // Takes the request unless one is under way (TradeContextBusy, nothing is sent).
    // window (may be null, must outlive the request) gets TradeResult with each code.
    // Returns Ok, or CommonError when the worker thread can't be started.
    net::ReturnCode submit(const trade::TradeRequest& request, platform::Notifier* window);
    // Asks to cancel the request under way; window gets CancelResult with the outcome:
    // 0 when cancelled locally or the cancel was sent, 139 once the dealer has it, the
    // server's code from its answer, 2 when there is nothing to cancel or sending failed.
    // Ignored while an earlier cancel is pending.
    void cancel(platform::Notifier* window);

    // The prices of the last price request or requote (bid, ask).
    std::pair<double, double> last_prices() const;
    // The record the last done request produced (all zero when none).
    trade::TradeRecord result() const;
    trade::RequestState state() const { return state_; }
    bool busy() const { return busy_; }
    bool thread_running() const;

    // Waits up to timeout_ms of the clock for the request under way to finish and lets the
    // worker go on at once; false on time-out. For callers that block on a request.
    bool wait_for_finish(uint32_t timeout_ms);

    // Once a second: a request that saw none of its own traffic (notifications and rejects,
    // not keep-alive answers) for longer than the activity time-out (60 s, 20 s while
    // connecting) loses its connection and finishes with TradeTimeout.
    void watchdog();
    // Ends the worker: closes the connection and waits up to 30 s of the clock for it; a
    // request under way finishes with NoConnection (its requester gets TradeResult);
    // clears request, result and prices; releases waiting callers; the context is ready.
    void stop();

private:
    enum class Step { Continue, End };
    enum class Connection { Keep, Close };

    // ---- worker ----
    void run();
    bool may_end();
    void process_request();
    net::ReturnCode connect_and_log_in();
    void drop_stale_input();
    bool send_request();
    Step receive_step();
    void handle_cancel();
    void on_notification();
    void apply_notification(const trade::FollowedRequest& followed, const trade::TradeNotification& notification);
    void on_reject();
    void journal_state(net::ReturnCode code);
    void finish(net::ReturnCode code);
    // Journals the request's line for the code, then finishes.
    void fail(net::ReturnCode code);
    void end_request(net::ReturnCode code, Connection connection);
    void note_activity();
    void post(platform::Notifier* window, core::Notification code, intptr_t value);
    void journal_error(const char* text);
    bool on_worker() const { return std::this_thread::get_id() == worker_.load(); }

    TradeContextEnvironment env_;
    net::PacketStream stream_;
    platform::Thread thread_;

    // Serialises submit, stop and the watchdog, which may come from different threads
    // (the session resets the contexts from its own thread). The worker never takes it.
    mutable std::mutex control_lock_;   // I5, I6
    // Start and end of the worker thread.
    std::mutex thread_lock_;   // I6
    bool thread_active_ = false;   // I4

    // Guards the request, its outcome and the windows.
    mutable std::mutex lock_;   // I6
    trade::TradeRequest request_{};
    std::optional<trade::TradeRecord> order_;      // the ticket's record when sent
    std::optional<trade::TradeRecord> opposite_;   // the opposite ticket's record when sent
    int digits_ = 5;
    int32_t login_ = 0;
    int32_t request_id_ = 0;
    trade::TradeRecord result_{};
    double bid_ = 0;
    double ask_ = 0;
    platform::Notifier* requester_ = nullptr;
    platform::Notifier* canceller_ = nullptr;

    std::atomic<bool> busy_{false};           // admission: exchanged by submit (I1)
    std::atomic<bool> ready_{false};          // the request is copied and not finished (I1-I3)
    std::atomic<bool> stop_{false};
    std::atomic<bool> cancel_requested_{false};
    std::atomic<bool> timed_out_{false};
    std::atomic<trade::RequestState> state_{trade::RequestState::Ready};   // I2
    std::atomic<uint32_t> activity_{0};
    std::atomic<uint32_t> activity_timeout_{kTradeActivityMs};
    std::atomic<int> waiters_{0};             // I7
    uint32_t next_ping_ = 0;                   // worker only
    std::atomic<std::thread::id> worker_{};    // the running worker's id (I5)

    platform::Event finished_{env_.clock, platform::EventReset::Manual};     // I3
    platform::Event taken_{env_.clock, platform::EventReset::Automatic};     // I7
};

}  // namespace kb::session
