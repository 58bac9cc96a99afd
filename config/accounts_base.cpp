#include "config/accounts_base.h"

#include <algorithm>
#include <cstring>

#include "config/config_paths.h"
#include "core/fixed_text.h"
#include "config/store_file.h"
#include "config/terminal_config.h"
#include "net/scramble.h"

namespace kb::config {

namespace {

void terminate_texts(AccountSnapshot& account) {
    core::terminate_field(account.password);
    core::terminate_field(account.server);
    core::terminate_field(account.name);
    account.text_end_563 = '\0';
}

// What the loader accepts; a saved record it would reject would take every other
// saved account with it at the next start.
bool loadable(const AccountSnapshot& account) {
    return account.login >= 1 && account.name[0] != '\0' && !(account.balance < 0.0);
}

}  // namespace

std::vector<AccountSnapshot> parse_accounts(std::span<const uint8_t> bytes) {
    std::vector<AccountSnapshot> accounts;
    const size_t available = std::min(bytes.size() / sizeof(AccountSnapshot), kMaxSavedAccounts);
    for (size_t i = 0; i < available; ++i) {
        uint8_t image[sizeof(AccountSnapshot)];
        std::memcpy(image, bytes.data() + i * sizeof image, sizeof image);
        net::file_unscramble(image);
        AccountSnapshot account;
        std::memcpy(&account, image, sizeof account);
        terminate_texts(account);
        if (!loadable(account)) return {};
        accounts.push_back(account);
    }
    return accounts;
}

std::vector<uint8_t> serialize_accounts(std::span<const AccountSnapshot> accounts, platform::Random& random) {
    std::vector<uint8_t> image(accounts.size() * sizeof(AccountSnapshot));
    for (size_t i = 0; i < accounts.size(); ++i) {
        AccountSnapshot copy = accounts[i];
        copy.salt = static_cast<uint32_t>(random.next());
        std::span<uint8_t> record = std::span(image).subspan(i * sizeof copy, sizeof copy);
        std::memcpy(record.data(), &copy, sizeof copy);
        net::file_scramble(record);
    }
    return image;
}

AccountsBase::AccountsBase(std::string program_folder, TerminalConfig& config, platform::Random& random)
    : program_folder_(std::move(program_folder)), config_(config), random_(random) {
    accounts_ = parse_accounts(read_store_file(file_path(), kMaxSavedAccounts * sizeof(AccountSnapshot)));
}

std::string AccountsBase::file_path() const { return profiles_file(program_folder_, "accounts.ini"); }

bool AccountsBase::add_or_replace(const AccountSnapshot& account) {
    const bool keep = config_.keep_personal_data();
    std::lock_guard guard(lock_);
    if (!add_or_replace_locked(account)) return false;
    save_locked(keep);
    return true;
}

bool AccountsBase::add_or_replace_locked(const AccountSnapshot& account) {
    if (account.password[0] == '\0' || !loadable(account)) return false;
    AccountSnapshot stored = account;
    terminate_texts(stored);
    for (AccountSnapshot& held : accounts_) {
        if (held.login == stored.login) {
            held = stored;
            return true;
        }
    }
    if (accounts_.size() >= kMaxSavedAccounts) return false;
    accounts_.push_back(stored);
    return true;
}

bool AccountsBase::remove(int32_t login) {
    const bool keep = config_.keep_personal_data();
    std::lock_guard guard(lock_);
    auto found = std::find_if(accounts_.begin(), accounts_.end(),
                              [&](const AccountSnapshot& held) { return held.login == login; });
    if (found == accounts_.end()) return false;
    accounts_.erase(found);
    save_locked(keep);
    return true;
}

std::optional<AccountSnapshot> AccountsBase::find(int32_t login) {
    std::lock_guard guard(lock_);
    for (const AccountSnapshot& held : accounts_) {
        if (held.login == login) return held;
    }
    return std::nullopt;
}

std::optional<AccountSnapshot> AccountsBase::at(size_t index) {
    std::lock_guard guard(lock_);
    if (index >= accounts_.size()) return std::nullopt;
    return accounts_[index];
}

size_t AccountsBase::size() {
    std::lock_guard guard(lock_);
    return accounts_.size();
}

bool AccountsBase::update_password(int32_t login, std::string_view password) {
    const bool keep = config_.keep_personal_data();
    std::lock_guard guard(lock_);
    for (AccountSnapshot& held : accounts_) {
        if (held.login != login) continue;
        core::set_field_text(held.password, password);
        save_locked(keep);
        return true;
    }
    return false;
}

bool AccountsBase::remember_current_account(AccountSnapshot& trade_snapshot) {
    LoginRecord login = config_.login_record();
    AccountSnapshot current = trade_snapshot;
    std::memcpy(current.account_server, login.account_server, sizeof current.account_server);
    current.remembered = 1;
    add_or_replace(current);

    std::optional<AccountSnapshot> saved = find(login.login);
    if (!saved) return false;
    trade_snapshot = *saved;
    login.server_chosen = 1;
    std::memcpy(login.account_server, saved->account_server, sizeof login.account_server);
    config_.set_login_record(login);
    return true;
}

void AccountsBase::save() {
    const bool keep = config_.keep_personal_data();
    std::lock_guard guard(lock_);
    save_locked(keep);
}

void AccountsBase::save_locked(bool keep_personal_data) {
    if (!keep_personal_data) {
        platform::remove_file(file_path());
        return;
    }
    write_store_file(file_path(), serialize_accounts(accounts_, random_), platform::FileAccess::OwnerOnly);
}

}  // namespace kb::config
