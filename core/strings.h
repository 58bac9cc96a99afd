#pragma once
#include <string_view>

namespace kb::core {

// Identifiers of the built-in English texts the program falls back to when no language
// pack provides them.
inline constexpr int kTextAccountDisabled = 5017;
inline constexpr int kTextInvalidAccount = 5019;
inline constexpr int kTextPublicKeyNotFound = 5048;
inline constexpr int kTextDemoAccount = 5067;
inline constexpr int kTextContestAccount = 5082;
inline constexpr int kTextTabQuotes = 5500;
inline constexpr int kTextTabChart = 5501;
inline constexpr int kTextTabTrade = 5502;
inline constexpr int kTextTabHistory = 5503;
inline constexpr int kTextTabNews = 5504;
inline constexpr int kTextColumnAsk = 5061;
inline constexpr int kTextColumnBid = 5065;
inline constexpr int kTextColumnHigh = 5116;
inline constexpr int kTextColumnLow = 5128;
inline constexpr int kTextColumnSymbol = 5180;
inline constexpr int kTextColumnTime = 5205;

// The built-in English text of id; empty when the table has none. Any thread.
std::string_view builtin_text(int id);

}  // namespace kb::core
