#pragma once
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace kb::core {

enum class AccountKind { Real, Demo, Contest };

// What the window title shows of the logged-in account.
struct TitleAccount {
    int login = 0;
    AccountKind kind = AccountKind::Real;
};

using TextLookup = std::function<std::string_view(int id)>;

// "<login>: <program title>" plus " - <text 5067>" for a demo or " - <text 5082>" for a
// contest account while an account is set; the program title alone otherwise.
std::string window_title(const std::optional<TitleAccount>& account, std::string_view program_title,
                         const TextLookup& text);

}  // namespace kb::core
