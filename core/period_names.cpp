#include "core/period_names.h"

#include <iterator>
#include <utility>

namespace kb::core {
namespace {

constexpr int kHour = 60;
constexpr int kDay = 1440;
constexpr int kWeek = 10080;

constexpr std::pair<int, std::string_view> kStandardPeriods[] = {
    {1, "M1"},   {5, "M5"},        {15, "M15"},        {30, "M30"},         {60, "H1"},
    {240, "H4"}, {1440, "Daily"}, {10080, "Weekly"}, {43200, "Monthly"},
};

constexpr std::string_view kTradeTypes[] = {"buy",      "sell",      "buy limit", "sell limit",
                                            "buy stop", "sell stop", "balance",   "credit"};

}  // namespace

std::string period_name(int minutes) {
    if (minutes <= 0) return {};
    for (auto [period, name] : kStandardPeriods)
        if (period == minutes) return std::string(name);
    // The largest whole unit wins.
    if (minutes % kWeek == 0) return "W" + std::to_string(minutes / kWeek);
    if (minutes % kDay == 0) return "D" + std::to_string(minutes / kDay);
    if (minutes % kHour == 0) return "H" + std::to_string(minutes / kHour);
    return "M" + std::to_string(minutes);
}

std::string chart_title(std::string_view symbol, int minutes) {
    std::string title(symbol);
    title += ',';
    title += period_name(minutes);
    return title;
}

std::string_view trade_type_name(int type) {
    if (type < 0 || type >= static_cast<int>(std::size(kTradeTypes))) return "error";
    return kTradeTypes[type];
}

}  // namespace kb::core
