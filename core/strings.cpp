#include "core/strings.h"

#include <utility>

namespace kb::core {

namespace {

constexpr std::pair<int, std::string_view> kBuiltinTexts[] = {
    {kTextAccountDisabled, "Account disabled"},
    {kTextInvalidAccount, "Invalid account"},
    {kTextPublicKeyNotFound, "Public key not found"},
    {kTextDemoAccount, "Demo Account"},
    {kTextContestAccount, "Contest Account"},
    {kTextTabQuotes, "Quotes"},
    {kTextTabChart, "Chart"},
    {kTextTabTrade, "Trade"},
    {kTextTabHistory, "History"},
    {kTextTabNews, "News"},
    {kTextColumnAsk, "Ask"},
    {kTextColumnBid, "Bid"},
    {kTextColumnHigh, "High"},
    {kTextColumnLow, "Low"},
    {kTextColumnSymbol, "Symbol"},
    {kTextColumnTime, "Time"},
};

}  // namespace

std::string_view builtin_text(int id) {
    for (const auto& [key, text] : kBuiltinTexts)
        if (key == id) return text;
    return {};
}

}  // namespace kb::core
