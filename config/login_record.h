#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/byte_order.h"
#include "platform/random.h"

namespace kb::config {

#pragma pack(push, 1)
// The current login, password, server name and common options: config/server.ini,
// scrambled as one chain. Reserved fields belong to other parts of the terminal and are
// preserved unchanged.
struct LoginRecord {
    int32_t reserved_0;
    int32_t version;                 // 400
    int32_t login;
    char password[16];               // NUL at 27
    char server[128];                // a ServerRecord name, NUL at 155
    int32_t mode;                    // copied into mode_in_effect on every load
    int32_t reserved_160;
    char account_server[128];        // saved with each account, NUL at 291
    uint8_t reserved_292[200];
    int32_t server_chosen;           // 1 once the server name was validated or an account chosen
    int32_t keep_personal_data;      // 1 = passwords and saved accounts are written
    int32_t option_500;              // default 1
    int32_t reserved_504;
    int32_t enable_news;             // 0 = account data is requested without news
    int32_t reserved_512;
    int32_t max_bars;                // "Maximum bars:", default 16000
    int32_t mode_in_effect;          // 1 = the history server is connected too
    int32_t created_time;            // seconds since 1970 when the defaults were made
    uint8_t reserved_528[248];
};
#pragma pack(pop)

static_assert(sizeof(LoginRecord) == 776);
static_assert(offsetof(LoginRecord, version) == 4);
static_assert(offsetof(LoginRecord, login) == 8);
static_assert(offsetof(LoginRecord, password) == 12);
static_assert(offsetof(LoginRecord, server) == 28);
static_assert(offsetof(LoginRecord, mode) == 156);
static_assert(offsetof(LoginRecord, account_server) == 164);
static_assert(offsetof(LoginRecord, server_chosen) == 492);
static_assert(offsetof(LoginRecord, keep_personal_data) == 496);
static_assert(offsetof(LoginRecord, option_500) == 500);
static_assert(offsetof(LoginRecord, enable_news) == 508);
static_assert(offsetof(LoginRecord, max_bars) == 516);
static_assert(offsetof(LoginRecord, mode_in_effect) == 520);
static_assert(offsetof(LoginRecord, created_time) == 524);

inline constexpr int32_t kLoginRecordVersion = 400;
inline constexpr int32_t kDefaultMaxBars = 16000;
// Set login record never lets the maximum bars fall below this.
inline constexpr int32_t kMinimumMaxBars = 512;

// The defaults used when server.ini is missing, short or of another version.
LoginRecord default_login_record(int64_t now);

// Reads the bytes of a server.ini file: unscrambles the first 776 bytes, gives the
// defaults (created at now) for a short file or another version, repairs the maximum
// bars, copies the mode into the mode in effect and terminates the texts. Any input is
// accepted. The server name is not validated here.
LoginRecord parse_login_record(std::span<const uint8_t> bytes, int64_t now);

// The scrambled file image of record: version 400; without keep personal data the
// password is emptied and its other 15 bytes are random (the low bytes of random's
// numbers).
void serialize_login_record(const LoginRecord& record, std::span<uint8_t, sizeof(LoginRecord)> out,
                            platform::Random& random);

}  // namespace kb::config
