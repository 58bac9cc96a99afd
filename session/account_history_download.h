#pragma once
#include <atomic>
#include <cstdint>

#include "net/packet_stream.h"
#include "platform/clock.h"
#include "platform/thread.h"
#include "trade/account_history_period.h"

namespace kb::core {
class Journal;
}
namespace kb::config {
class TerminalConfig;
class ServerList;
}  // namespace kb::config
namespace kb::platform {
class Notifier;
}
namespace kb::trade {
class TradeBase;
}

namespace kb::session {

struct AccountHistoryEnvironment {
    config::TerminalConfig& config;
    config::ServerList& servers;
    core::Journal& journal;
    trade::TradeBase& trades;
    platform::Notifier* notifier;    // told when a download ends; may be null
    platform::Clock& stream_clock;   // the stream's short pauses while the server stalls
};

// Downloads the account history of a chosen period on a connection of its own, with the
// current account's login, and replaces the trade base's history with it:
//
//   idle --download(range)--> connect --fail--> "cannot connect" journaled, history kept
//                                |
//                              login --fail--> "cannot login" journaled, history kept
//                                |
//                       command 34 --fail--> history emptied
//                                |
//                      history replaced --> quit (13), close, post AccountHistory (Downloaded)
//
// Every download that gets past the account check posts AccountHistory when it ends.
// Thread use: download() and the destructor from one thread (the user interface); the
// work runs on the object's own thread. Everything referenced must outlive the object.
class AccountHistoryDownload {
public:
    explicit AccountHistoryDownload(const AccountHistoryEnvironment& environment);
    // Ends a download under way (its connection is closed) and waits for its thread.
    ~AccountHistoryDownload();
    AccountHistoryDownload(const AccountHistoryDownload&) = delete;
    AccountHistoryDownload& operator=(const AccountHistoryDownload&) = delete;

    // Ends a download under way, then starts one of range on the object's thread. False,
    // and nothing done, when the account has no server address, no password or no
    // positive login, or the thread can't be started. A range that can't be requested
    // (trade::is_requestable) holds no records: the history is emptied and AccountHistory posted
    // at once, without connecting.
    bool download(const trade::HistoryRange& range);
    // Waits for the download under way to end.
    void wait();
    bool running() const { return thread_.running(); }

private:
    void run(trade::HistoryRange range, int32_t login, std::string address, std::string password);
    bool connect_and_log_in(int32_t login, const std::string& address, const std::string& password);

    AccountHistoryEnvironment env_;
    net::PacketStream stream_;
    platform::Thread thread_;
};

}  // namespace kb::session
