#include "server/admin_commands.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "net/digest.h"
#include "server/live_settings.h"
#include "server/trade_transactions.h"

namespace kb::server {

namespace {

// The password field of a login is 16 bytes with its terminator.
constexpr size_t kPasswordLimit = 15;
constexpr size_t kAccountNameLimit = 127;
constexpr size_t kSubjectLimit = 127;
constexpr size_t kMailBodyLimit = 60000;
constexpr size_t kNewsBodyLimit = 32000;

AdminResult failure(std::string message) { return AdminResult{false, std::move(message)}; }

std::optional<int64_t> parse_integer(const std::string& text, int64_t low, int64_t high) {
    if (text.empty()) return std::nullopt;
    errno = 0;
    char* end = nullptr;
    long long value = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value < low || value > high) return std::nullopt;
    return value;
}

std::optional<double> parse_amount(const std::string& text) {
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    double value = std::strtod(text.c_str(), &end);
    if (*end != '\0' || !std::isfinite(value) || std::fabs(value) > 1e12) return std::nullopt;
    // Money is kept in cents.
    return std::round(value * 100) / 100;
}

std::string money(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

AdminResult check_text(const std::string& what, const std::string& value, size_t limit) {
    if (value.empty()) return failure(what + " must not be empty");
    if (value.size() > limit) return failure(what + " is longer than " + std::to_string(limit) + " bytes");
    return AdminResult{true, {}};
}

// The first line of text and the rest after its line end (a CR before it is dropped).
std::string_view take_line(std::string_view& text) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    return line;
}

AdminResult create_account(const CommandLine& line, const ServerConfig& config, Storage& storage,
                           platform::Clock& clock, std::string_view secrets) {
    std::optional<int64_t> login = parse_integer(line.get("login"), 1, INT32_MAX);
    if (!login) return failure("--login must be a number from 1 to 2147483647");
    std::string password(take_line(secrets));
    if (password.empty()) return failure("no password: give it on the first line of standard input or of --password-file");
    if (AdminResult check = check_text("the password", password, kPasswordLimit); !check.ok) return check;
    std::string investor(take_line(secrets));
    const bool has_investor = !investor.empty();
    if (has_investor) {
        if (AdminResult check = check_text("the investor password", investor, kPasswordLimit); !check.ok) return check;
    }
    if (!take_line(secrets).empty() || !secrets.empty())
        return failure("more than two lines of passwords (the password, then the investor password)");
    std::string group_name = line.get("group", config.default_group);
    const GroupConfig* group = config.find_group(group_name);
    if (!group) return failure("group \"" + group_name + "\" is not in the configuration");
    std::string name = line.get("name", "Demo account " + std::to_string(*login));
    if (AdminResult check = check_text("--name", name, kAccountNameLimit); !check.ok) return check;
    std::optional<int64_t> leverage = parse_integer(line.get("leverage", std::to_string(group->leverage)), 1, 10000);
    if (!leverage) return failure("--leverage must be a number from 1 to 10000");
    std::optional<double> deposit = parse_amount(line.get("deposit", "0"));
    if (!deposit || *deposit < 0) return failure("--deposit must be an amount of 0 or more");

    if (storage.account(static_cast<int32_t>(*login))) return failure("account " + std::to_string(*login) + " exists");
    AccountRow account;
    account.login = static_cast<int32_t>(*login);
    account.password_digest = net::md5(password);
    // Without an investor password no digest matches, so read-only logins are refused.
    if (has_investor) account.investor_digest = net::md5(investor);
    account.name = name;
    account.group = group->name;
    account.leverage = static_cast<int>(*leverage);
    account.created = clock.unix_time();
    if (!storage.create_account(account, *deposit)) return failure("account not created: " + storage.last_error());
    return AdminResult{true, "account " + std::to_string(*login) + " created in group " + group->name +
                                 " with balance " + money(*deposit) + " " + group->currency};
}

AdminResult deposit(const CommandLine& line, const ServerConfig& config, Storage& storage, platform::Clock& clock) {
    std::optional<int64_t> login = parse_integer(line.get("login"), 1, INT32_MAX);
    if (!login) return failure("--login must be a number from 1 to 2147483647");
    std::optional<double> amount = parse_amount(line.get("amount"));
    if (!amount || *amount == 0) return failure("--amount must be a non-zero amount");
    std::optional<AccountRow> account = storage.account(static_cast<int32_t>(*login));
    if (!account) return failure("account " + std::to_string(*login) + " does not exist");
    if (account->balance + *amount < 0) {
        return failure("withdrawal of " + money(-*amount) + " exceeds the balance " + money(account->balance));
    }
    std::string comment = line.get("comment", *amount > 0 ? "Deposit" : "Withdrawal");
    if (AdminResult check = check_text("--comment", comment, 31); !check.ok) return check;
    std::optional<int64_t> ticket =
        storage.add_balance_operation(account->login, trade::kBalance, *amount, comment, clock.unix_time());
    if (!ticket) return failure("deposit failed: " + storage.last_error());
    // The operation reaches a connected terminal like any other trade change.
    if (std::optional<TradeRow> operation = storage.trade(*ticket))
        store_trade_changes(storage, config, account->login, {{trade::kTransactionDelete, *operation}});
    return AdminResult{true, (*amount > 0 ? "deposit " : "withdrawal ") + money(std::fabs(*amount)) + " on " +
                                 std::to_string(*login) + ": balance " + money(account->balance + *amount) +
                                 ", ticket " + std::to_string(*ticket)};
}

AdminResult post_news(const CommandLine& line, Storage& storage, platform::Clock& clock) {
    NewsRow news;
    news.subject = line.get("subject");
    news.body = line.get("body");
    news.category = line.get("category", "General");
    if (AdminResult check = check_text("--subject", news.subject, kSubjectLimit); !check.ok) return check;
    if (AdminResult check = check_text("--body", news.body, kNewsBodyLimit); !check.ok) return check;
    if (AdminResult check = check_text("--category", news.category, 31); !check.ok) return check;
    news.time = clock.unix_time();
    std::optional<int64_t> id = storage.add_news(news);
    if (!id) return failure("news not posted: " + storage.last_error());
    return AdminResult{true, "news " + std::to_string(*id) + " posted"};
}

AdminResult send_mail(const CommandLine& line, Storage& storage, platform::Clock& clock) {
    std::optional<int64_t> to = parse_integer(line.get("to"), 1, INT32_MAX);
    if (!to) return failure("--to must be a login from 1 to 2147483647");
    MailRow mail;
    mail.to = static_cast<int32_t>(*to);
    mail.from = line.get("from", "Dealing Desk");
    mail.subject = line.get("subject");
    mail.body = line.get("body");
    if (AdminResult check = check_text("--from", mail.from, 63); !check.ok) return check;
    if (AdminResult check = check_text("--subject", mail.subject, kSubjectLimit); !check.ok) return check;
    if (AdminResult check = check_text("--body", mail.body, kMailBodyLimit); !check.ok) return check;
    if (!storage.account(mail.to)) return failure("account " + std::to_string(*to) + " does not exist");
    mail.time = clock.unix_time();
    std::optional<int64_t> id = storage.add_mail(mail);
    if (!id) return failure("mail not sent: " + storage.last_error());
    return AdminResult{true, "mail " + std::to_string(*id) + " queued for " + std::to_string(*to)};
}

// Every given option is checked against the configuration with the changes stored so far,
// then all are stored; a running server pushes them to its terminals.
AdminResult set_settings(const CommandLine& line, const ServerConfig& config, Storage& storage, const std::string& kind,
                         const std::string& name_option) {
    const std::string name = line.get(name_option);
    ServerConfig changed = config;
    std::string error;
    for (const SettingOverride& stored : storage.overrides()) apply_override(changed, stored, error);
    std::vector<SettingOverride> settings;
    for (const auto& [option, value] : line.options) {
        if (option == name_option || option == "db" || option == "config") continue;
        std::string key = option;
        std::replace(key.begin(), key.end(), '-', '_');
        settings.push_back(SettingOverride{kind, name, key, value});
        if (!apply_override(changed, settings.back(), error)) return failure(error);
    }
    if (settings.empty()) return failure("give at least one setting to change (see --help)");
    // One transaction: a running server never pushes a part of the change.
    if (!storage.set_overrides(settings)) return failure("settings not stored: " + storage.last_error());
    return AdminResult{true, kind + " " + name + ": " + std::to_string(settings.size()) + " setting(s) changed"};
}

}  // namespace

AdminResult run_admin_command(const CommandLine& line, const ServerConfig& config, Storage& storage,
                              platform::Clock& clock, std::string_view secrets) {
    switch (line.kind) {
        case CommandKind::CreateAccount: return create_account(line, config, storage, clock, secrets);
        case CommandKind::Deposit: return deposit(line, config, storage, clock);
        case CommandKind::SetInstrument: return set_settings(line, config, storage, "instrument", "symbol");
        case CommandKind::SetGroup: return set_settings(line, config, storage, "group", "group");
        case CommandKind::PostNews: return post_news(line, storage, clock);
        case CommandKind::SendMail: return send_mail(line, storage, clock);
        case CommandKind::Serve:
        case CommandKind::Help: break;
    }
    return failure("not an admin command");
}

}  // namespace kb::server
