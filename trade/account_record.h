#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "config/account_snapshot.h"
#include "market/symbol_record.h"
#include "trade/trade_record.h"

namespace kb::trade {

// The logged-in account in two forms.
//
// AccountData is what the server sends in the account data reply (command 30): a block of
// at least 13824 bytes, the account group's settings first (GroupRecord, 13696 bytes), then
// the account's own fields, followed by 224-byte TradeRecords of the open trades.
//
// AccountRecord (14240 bytes) is what the terminal keeps for the logged-in account and
// saves as one record of profiles/accounts.ini: the connection's fields (salt, login,
// password, server texts) and the account fields first, the GroupRecord from offset 544
// on. The group name's terminator falls on byte 563, which the saved accounts force to NUL.
// The layout coincides with config::AccountSnapshot at every offset the saved accounts use
// (checked below), so a record moves between the two with a plain copy.

#pragma pack(push, 1)
struct AccountData {
    market::GroupRecord group;
    int32_t login;
    int32_t leverage;                // 100 for 1:100
    double balance;
    double credit;
    char name[64];                   // the account holder, NUL at 63
    int32_t first_login;             // 0 when the account logged in before
    int32_t news_setting;            // kNewsOff, kNewsHeaders or kNewsOnRequest
    uint8_t reserved_13792[4];
    uint16_t history_server_version;
    uint8_t last_address[4];         // IPv4 of the previous login, first byte first as written dotted
    uint8_t reserved_13802[2];
    uint16_t news_languages[8];      // accepted "lang=" numbers; 0 entries are unused, all 0: any
    uint8_t reserved_13820[4];
};
static_assert(sizeof(AccountData) == 13824);
static_assert(offsetof(AccountData, login) == 13696);
static_assert(offsetof(AccountData, balance) == 13704);
static_assert(offsetof(AccountData, credit) == 13712);
static_assert(offsetof(AccountData, name) == 13720);
static_assert(offsetof(AccountData, first_login) == 13784);
static_assert(offsetof(AccountData, news_setting) == 13788);
static_assert(offsetof(AccountData, history_server_version) == 13796);
static_assert(offsetof(AccountData, last_address) == 13798);
static_assert(offsetof(AccountData, news_languages) == 13804);

struct AccountRecord {
    uint32_t salt;                   // random on every save of the saved accounts
    int32_t login;
    char password[16];               // NUL at 23
    char server[128];                // server name, NUL at 151
    char name[64];                   // NUL at 215, not empty in a saved account
    uint8_t reserved_216[4];
    int32_t remembered;              // 1 in a saved account
    char account_server[128];        // the login record's account server text, NUL at 351
    int32_t leverage;
    int32_t news_setting;
    int32_t first_login;
    uint16_t history_server_version;
    uint8_t last_address[4];
    uint8_t reserved_370[6];
    double balance;                  // never negative in a saved account
    double credit;
    uint16_t news_languages[8];
    uint8_t reserved_408[136];
    market::GroupRecord group;
};
#pragma pack(pop)

static_assert(sizeof(AccountRecord) == 14240);
static_assert(offsetof(AccountRecord, login) == 4);
static_assert(offsetof(AccountRecord, password) == 8);
static_assert(offsetof(AccountRecord, server) == 24);
static_assert(offsetof(AccountRecord, name) == 152);
static_assert(offsetof(AccountRecord, remembered) == 220);
static_assert(offsetof(AccountRecord, account_server) == 224);
static_assert(offsetof(AccountRecord, leverage) == 352);
static_assert(offsetof(AccountRecord, news_setting) == 356);
static_assert(offsetof(AccountRecord, first_login) == 360);
static_assert(offsetof(AccountRecord, history_server_version) == 364);
static_assert(offsetof(AccountRecord, last_address) == 366);
static_assert(offsetof(AccountRecord, balance) == 376);
static_assert(offsetof(AccountRecord, credit) == 384);
static_assert(offsetof(AccountRecord, news_languages) == 392);
static_assert(offsetof(AccountRecord, group) == 544);
static_assert(offsetof(AccountRecord, group) + sizeof(market::GroupRecord::name) - 1 == 563);

// The saved accounts read and write the same bytes.
static_assert(sizeof(AccountRecord) == sizeof(config::AccountSnapshot));
static_assert(offsetof(AccountRecord, salt) == offsetof(config::AccountSnapshot, salt));
static_assert(offsetof(AccountRecord, login) == offsetof(config::AccountSnapshot, login));
static_assert(offsetof(AccountRecord, password) == offsetof(config::AccountSnapshot, password));
static_assert(offsetof(AccountRecord, server) == offsetof(config::AccountSnapshot, server));
static_assert(offsetof(AccountRecord, name) == offsetof(config::AccountSnapshot, name));
static_assert(offsetof(AccountRecord, remembered) == offsetof(config::AccountSnapshot, remembered));
static_assert(offsetof(AccountRecord, account_server) == offsetof(config::AccountSnapshot, account_server));
static_assert(offsetof(AccountRecord, balance) == offsetof(config::AccountSnapshot, balance));
static_assert(offsetof(AccountRecord, group) + sizeof(market::GroupRecord::name) - 1 ==
              offsetof(config::AccountSnapshot, text_end_563));

inline constexpr int32_t kNewsOff = 0;
inline constexpr int32_t kNewsHeaders = 1;
inline constexpr int32_t kNewsOnRequest = 2;   // bodies are asked for one by one (command 157)

// The mode of an account data request (command 30): what the connection is to carry.
enum AccountDataMode : uint32_t {
    kAccountDataFull = 0,
    kAccountDataWithoutNews = 2,          // the terminal's "Enable news" is off
    kAccountDataWithHistoryServer = 3,    // the history server carries the quotes and news
};

// An account data reply's block, split.
struct AccountDataReply {
    AccountData account{};
    std::vector<TradeRecord> open_trades;
};

// Splits a block. Nothing when it is shorter than AccountData or the rest is not whole
// trade records. The account name and group name terminators are forced to NUL.
std::optional<AccountDataReply> parse_account_data(std::span<const uint8_t> block);

// The block for a reply: the account data, then the trades.
std::vector<uint8_t> build_account_data(const AccountData& account, std::span<const TradeRecord> open_trades);

// Copies the server's fields (group, login, leverage, balance, credit, name, first login,
// news setting and languages, history server version, last address) into the record and
// leaves the connection's fields (salt, password, server texts, remembered) as they are.
void apply_account_data(AccountRecord& record, const AccountData& account);

// True when the reply tells of an earlier login from another place: first login 0 and a
// last address that is not 0.0.0.0.
bool reports_previous_authorization(const AccountData& account);

// The address as written in the journal, "a.b.c.d" with the first byte first.
std::string dotted_address(const uint8_t (&address)[4]);

}  // namespace kb::trade
