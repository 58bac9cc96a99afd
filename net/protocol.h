#pragma once
#include <cstdint>
#include <string_view>

namespace kb::net {

// Every command byte exchanged with the trade server and the history server, in both
// directions. Where the same byte travels both ways (2, 13, 156, 157, 190, 191) one name
// covers both. Code sends and dispatches through these names, never through bare numbers.
enum class Command : uint8_t {
    DemoAccountRequest = 1,   // first byte of a demo account request (sent without stream scrambling)
    KeepAlive = 2,            // single byte; the server answers with the same byte
    PasswordChange = 4,
    CrashLog = 5,
    MailSend = 7,
    Symbols = 8,
    HistorySync = 9,          // chart history synchronisation on the history server
    SymbolGroups = 10,
    Quit = 13,                // single byte ending a session, either side
    UpdateQuery = 15,
    ServerInformation = 16,   // single byte
    PublicKey = 17,
    KeyChallengeAnswer = 18,
    AccountData = 30,
    MailHeaders = 33,         // single byte
    AccountHistory = 34,
    Subscription = 150,
    Quotes = 151,
    NewsHeader = 152,
    MailMessage = 153,
    SymbolUpdates = 154,
    TradeUpdates = 155,
    ChartHistory = 156,       // request to the trade server and its pushed answer
    NewsBody = 157,           // request and answer
    GroupSettings = 171,
    TradeRequest = 190,       // request on a trade channel and the server's notifications
    TradeReject = 191,        // cancel request and the server's reject answer
};

constexpr uint8_t command_byte(Command command) { return static_cast<uint8_t>(command); }

// The plain-text exchanges that share the server's port.
inline constexpr std::string_view kServerProbeRequest = "ZINFO\n";
inline constexpr std::string_view kUpdaterInfoRequest = "WINFO\n";
inline constexpr std::string_view kTextQuit = "QUIT\n";

// Replies of the trade and history servers; also the state of a connection (NoConnection
// while not connected, Ok while connected).
enum class ReturnCode : int {
    Ok = 0,
    OkNoResult = 1,   // also reads "OK"
    CommonError = 2,
    InvalidParameters = 3,
    ServerBusy = 4,
    OldVersion = 5,
    NoConnection = 6,
    NotEnoughRights = 7,
    TooFrequentRequests = 8,
    DisabledOrFailed = 9,
    GeneratedKeyRequired = 10,
    SecuredLoginRequired = 11,
    AccountDisabled = 64,
    InvalidAccount = 65,
    PublicKeyNotFound = 66,
    TradeTimeout = 128,
    InvalidPrices = 129,
    InvalidStops = 130,
    InvalidVolume = 131,
    MarketClosed = 132,
    TradeDisabled = 133,
    NotEnoughMoney = 134,
    PriceChanged = 135,
    OffQuotes = 136,
    BrokerBusy = 137,
    Requote = 138,
    OrderLocked = 139,
    LongPositionsOnly = 140,
    TooManyRequests = 141,
    OrderAccepted = 142,
    OrderInProcess = 143,
    RequestCanceled = 144,
    ModificationDenied = 145,
    TradeContextBusy = 146,
    ExpirationDisabled = 147,
    TooManyOrders = 148,
    HedgeProhibited = 149,
    ProhibitedByFifo = 150,
};

constexpr int code_value(ReturnCode code) { return static_cast<int>(code); }
constexpr uint8_t code_byte(ReturnCode code) { return static_cast<uint8_t>(code); }

// The text shown for a return code in the journal and the trade screens; "unknown error"
// for any code outside the table. The texts are static; callable from any thread.
const char* return_code_text(int code);
inline const char* return_code_text(ReturnCode code) { return return_code_text(code_value(code)); }

}  // namespace kb::net
