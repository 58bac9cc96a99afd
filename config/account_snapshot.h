#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/byte_order.h"

namespace kb::config {

#pragma pack(push, 1)
// The account data the trade base keeps for the logged-in account, saved as one record
// of profiles/accounts.ini. Only the fields the saved accounts rely on are named here;
// the rest is carried unchanged.
struct AccountSnapshot {
    uint32_t salt;                   // random on every save
    int32_t login;                   // at least 1
    char password[16];               // NUL at 23
    char server[128];                // NUL at 151
    char name[64];                   // must not be empty; NUL at 215
    int32_t reserved_216;
    int32_t remembered;              // 1 once the account was remembered
    char account_server[128];        // the login record's account server text
    uint8_t reserved_352[24];
    double balance;                  // never negative in a saved account
    uint8_t account_data_384[179];
    char text_end_563;               // last byte of a text of the account data: forced NUL
    uint8_t account_data_564[13676];
};
#pragma pack(pop)

static_assert(sizeof(AccountSnapshot) == 14240);
static_assert(offsetof(AccountSnapshot, login) == 4);
static_assert(offsetof(AccountSnapshot, password) == 8);
static_assert(offsetof(AccountSnapshot, server) == 24);
static_assert(offsetof(AccountSnapshot, name) == 152);
static_assert(offsetof(AccountSnapshot, remembered) == 220);
static_assert(offsetof(AccountSnapshot, account_server) == 224);
static_assert(offsetof(AccountSnapshot, balance) == 376);
static_assert(offsetof(AccountSnapshot, text_end_563) == 563);

}  // namespace kb::config
