// accounts.ini loader: any bytes give at most 64 valid saved accounts, or none. The input
// is used both as the file itself and, cut into 512-byte pieces, as the plain beginnings of
// up to 8 records (zero-padded, each scrambled), so that short inputs reach whole records.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

#include "config/accounts_base.h"
#include "net/scramble.h"

namespace {

constexpr size_t kPiece = 512;
constexpr size_t kMaxShapedRecords = 8;

void check(std::span<const uint8_t> file) {
    using namespace kb::config;
    std::vector<AccountSnapshot> accounts = parse_accounts(file);
    if (accounts.size() > kMaxSavedAccounts) std::abort();
    for (const AccountSnapshot& account : accounts) {
        if (account.login < 1 || account.name[0] == '\0' || account.balance < 0.0 || account.password[15] != '\0') {
            std::abort();
        }
    }
    kb::platform::SeededRandom random(file.size());
    if (parse_accounts(serialize_accounts(accounts, random)).size() != accounts.size()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    constexpr size_t kRecord = sizeof(kb::config::AccountSnapshot);
    check(std::span(data, size));

    const size_t records = std::min((size + kPiece - 1) / kPiece, kMaxShapedRecords);
    std::vector<uint8_t> shaped(records * kRecord, 0);
    for (size_t i = 0; i < records; ++i) {
        std::span<uint8_t> record = std::span(shaped).subspan(i * kRecord, kRecord);
        std::memcpy(record.data(), data + i * kPiece, std::min(kPiece, size - i * kPiece));
        kb::net::file_scramble(record);
    }
    check(shaped);
    return 0;
}
