#pragma once
#include <string>
#include <string_view>

namespace kb::core {

// Names shown for chart periods and trade types. Pure functions, any thread.

// "M1", "M5", "M15", "M30", "H1", "H4", "Daily", "Weekly", "Monthly" for the standard
// periods; any other positive number of minutes as "M%d", or in whole hours "H%d",
// whole days "D%d", whole weeks "W%d" (120 gives "H2", 2880 "D2", 20160 "W2", 90 "M90");
// empty for 0 and negative values.
std::string period_name(int minutes);

// The chart window's title: symbol and period name joined by "," ("EURUSD,H1").
std::string chart_title(std::string_view symbol, int minutes);

// "buy", "sell", "buy limit", "sell limit", "buy stop", "sell stop", "balance",
// "credit" for the trade types 0 to 7; "error" for any other value.
std::string_view trade_type_name(int type);

}  // namespace kb::core
