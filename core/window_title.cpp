#include "core/window_title.h"

#include "core/strings.h"

namespace kb::core {

std::string window_title(const std::optional<TitleAccount>& account, std::string_view program_title,
                         const TextLookup& text) {
    if (!account) return std::string(program_title);
    std::string title = std::to_string(account->login) + ": ";
    title += program_title;
    if (account->kind != AccountKind::Real) {
        title += " - ";
        title += text(account->kind == AccountKind::Demo ? kTextDemoAccount : kTextContestAccount);
    }
    return title;
}

}  // namespace kb::core
