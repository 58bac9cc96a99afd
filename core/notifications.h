#pragma once
#include <cstdint>

#include "platform/folder_identity.h"
#include "platform/notifier.h"

namespace kb::core {

// Every code the services, the trade channels and the views post to the user interface;
// the value that goes with a code is noted beside it, else it is 0.
enum class Notification : int {
    Symbols = 1,
    Quotes = 2,                // value: 0, or the trade base's recalculation result
    News = 3,
    Mail = 4,
    Trades = 6,
    AccountHistory = 7,        // value: a HistorySelector
    ChartHistory = 8,
    SelectTab = 9,             // value: the tab index
    EnableToolbar = 10,        // value: the buttons' bits
    DisableToolbar = 11,
    TransactionsApplied = 13,  // the trade base applied trade transactions, beside Trades and Symbols
    TradeResult = 14,          // a trade context to its requester; value: the request's return code
    CancelResult = 15,         // a trade context to its canceller; value: the cancel's return code
    ShowOrderChart = 16,       // value: the order ticket
    GenerateKey = 17,          // sent, not posted: the connection thread waits for the answer
    LoggedIn = 20,             // value: the login
    Reconnect = 21,
    ConnectionState = 22,      // value: a ConnectionServer
    OpenOrderDialog = 23,      // value: the order kind
    InvalidateChart = 25,
    MailComposer = 33,         // value: passed on to the mail view
    // The updater's question to the terminal of its folder; it travels on the local
    // channel of platform/folder_identity.h, not through the notifier.
    FolderIdentity = platform::kFolderIdentityQuestion,
};

// The value of AccountHistory, the history range selector: why the history changed, which
// tells the history screen whether to ask again for the range it shows. Other values (0)
// just refresh it.
enum class HistorySelector : intptr_t {
    Changed = -1,      // trade transactions changed the history
    Kept = -2,         // a login downloaded it: a range the user chose is asked for again
    Downloaded = -3,   // a download of another period has ended
};

// The value of ConnectionState: which of the session's connections changed.
enum class ConnectionServer : int { Trade = 0, History = 1 };

// The notifier carries plain numbers (the platform layer knows no catalogue); codes and
// these values cross that boundary only through the functions below (a return code as
// net::code_value).
constexpr int notification_code(Notification code) { return static_cast<int>(code); }
constexpr Notification notification_of(int code) { return static_cast<Notification>(code); }
constexpr intptr_t notification_value(HistorySelector selector) { return static_cast<intptr_t>(selector); }
constexpr intptr_t notification_value(ConnectionServer server) { return static_cast<intptr_t>(server); }

// Posts to the notifier; nothing when it is null.
inline void post(platform::Notifier* notifier, Notification code, intptr_t value) {
    if (notifier) notifier->post(notification_code(code), value);
}

}  // namespace kb::core
