#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>

#include "market/bar_form.h"
#include "market/history_center.h"
#include "net/packet_stream.h"
#include "platform/clock.h"
#include "platform/thread.h"

namespace kb::core {
class Journal;
}

namespace kb::session {

// The outcome of the synchronisation connection's login.
struct HistoryLoginResult {
    enum class Status { LoggedIn, NotConnected, Refused };
    Status status = Status::NotConnected;
    market::BarForm form = market::BarForm::Narrow22;   // the form of the bars that server sends
};

// How the synchronisation thread reaches the history server. Implemented where the account
// settings are known; called only on the synchronisation thread.
class HistoryServerLogin {
public:
    virtual ~HistoryServerLogin() = default;
    // Connects stream to the account's history source and logs in, journaling a refused
    // login itself. On failure the stream may be left open; the caller closes it.
    virtual HistoryLoginResult connect_and_log_in(net::PacketStream& stream) = 0;
};

// What the synchronisation thread works with. Everything referenced must outlive it.
struct HistorySynchroniserEnvironment {
    platform::Clock& clock;                  // the thread's pauses, the connection's age
    platform::Clock& stream_clock;           // the stream's short pauses while a peer stalls
    core::Journal* journal = nullptr;        // may be null
    HistoryServerLogin& login;
};

// The history centre's synchronisation thread with its own connection to the history
// server (command 9). The centre owns it and starts it; destroying it closes the connection
// and waits for the thread.
//
//   idle --start()--> running: pass over flagged histories, 0.5 s between passes
//                       |  login or request failed: wait 5 s, the flag stays set
//                       |  no connection: tried again on the next pass
//                       |  30 passes in a row with nothing flagged:
//                       v  quit (13), close
//                     idle
class HistorySynchroniser final : public market::HistorySynchronisation {
public:
    HistorySynchroniser(market::HistoryCenter& center, HistorySynchroniserEnvironment environment);
    ~HistorySynchroniser() override;
    HistorySynchroniser(const HistorySynchroniser&) = delete;
    HistorySynchroniser& operator=(const HistorySynchroniser&) = delete;

    bool start() override;

private:
    // A refused login or request is retried after a pause, a missing connection at once.
    enum class Outcome { Done, NotConnected, Refused };

    void run();
    Outcome synchronise_one(const market::HistorySummary& summary);
    HistoryLoginResult::Status ensure_connected();
    void pause(uint32_t total_ms);

    market::HistoryCenter& center_;
    HistorySynchroniserEnvironment env_;
    std::mutex thread_lock_;
    platform::Thread thread_;
    std::atomic<bool> stopping_{false};
    // Touched only by the thread, except that the destructor closes the stream to end a wait.
    net::PacketStream stream_;
    market::BarForm bar_form_ = market::BarForm::Narrow22;
    uint32_t last_use_ms_ = 0;
};

}  // namespace kb::session
