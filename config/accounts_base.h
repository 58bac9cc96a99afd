#pragma once
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "config/account_snapshot.h"
#include "platform/random.h"

namespace kb::config {

class TerminalConfig;

inline constexpr size_t kMaxSavedAccounts = 64;

// Reads the bytes of an accounts.ini file: whole 14240-byte records, each unscrambled as
// its own chain, at most 64. The first record with a login below 1, an empty name or a
// negative balance ends the load with no accounts at all. Any input is accepted.
std::vector<AccountSnapshot> parse_accounts(std::span<const uint8_t> bytes);

// The file image of accounts: each record with a fresh random salt (from random),
// scrambled by itself.
std::vector<uint8_t> serialize_accounts(std::span<const AccountSnapshot> accounts, platform::Random& random);

// The accounts the user can switch between: profiles/accounts.ini, owner-only. Loaded
// when created, saved on every change. Without "keep personal data" in the login record
// a save deletes the file instead. Thread-safe: one lock, copies in and out. It calls
// the configuration only while not holding its own lock (lock order: core/lock_order.h).
class AccountsBase {
public:
    // random gives the salts of the saved records; it is drawn from under the base's lock
    // by whichever thread saves, so it must be safe for those threads (system_random() is).
    // It must outlive this object.
    AccountsBase(std::string program_folder, TerminalConfig& config, platform::Random& random);

    // Stores an account (login at least 1, a non-empty password), replacing the one with
    // the same login or appending while fewer than 64 are held; saves. False when
    // refused.
    bool add_or_replace(const AccountSnapshot& account);
    // Removes the account of login, closing the gap; saves. False when none has it.
    bool remove(int32_t login);
    std::optional<AccountSnapshot> find(int32_t login);
    std::optional<AccountSnapshot> at(size_t index);
    size_t size();
    // A successful password change: the saved password of login becomes password.
    bool update_password(int32_t login, std::string_view password);

    // Run when the login settings change. trade_snapshot is the trade base's account
    // snapshot (the caller hands it in and writes it back): it is saved with the login
    // record's account server text. When an account of the login record's login is
    // saved, it replaces trade_snapshot, the login record takes its account server text
    // and the server-chosen flag, and is set again; then true is returned.
    bool remember_current_account(AccountSnapshot& trade_snapshot);

    void save();
    std::string file_path() const;

private:
    bool add_or_replace_locked(const AccountSnapshot& account);
    void save_locked(bool keep_personal_data);

    const std::string program_folder_;
    TerminalConfig& config_;
    platform::Random& random_;
    std::mutex lock_;
    std::vector<AccountSnapshot> accounts_;
};

}  // namespace kb::config
