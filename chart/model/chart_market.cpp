#include "chart/model/chart_market.h"

#include "core/fixed_text.h"
#include "market/history_center.h"
#include "market/symbols_base.h"

namespace kb::chart {

std::optional<market::SymbolRecord> TerminalChartMarket::symbol(std::string_view name) {
    return symbols_.symbol_by_name(name);
}

std::optional<std::string> TerminalChartMarket::first_symbol() {
    std::optional<market::SymbolRecord> first = symbols_.symbol_at(0);
    if (!first) return std::nullopt;
    return std::string(core::field_text(first->name));
}

double TerminalChartMarket::ask(std::string_view name) {
    std::optional<market::SymbolPrices> prices = symbols_.prices(name);
    return prices ? prices->ask : 0.0;
}

void TerminalChartMarket::subscribe(std::string_view symbol, int period) { histories_.open(symbol, period); }

void TerminalChartMarket::release(std::string_view symbol, int period) { histories_.release(symbol, period); }

bool TerminalChartMarket::copy_bars(std::string_view symbol, int period, market::ChartBuffer& chart) {
    return histories_.copy_to_chart(symbol, period, chart);
}

void TerminalChartMarket::more_history(std::string_view symbol, int period, size_t bars_wanted) {
    histories_.more_history(symbol, period, bars_wanted);
}

void TerminalChartMarket::synchronise(std::string_view symbol, int period) { histories_.synchronise(symbol, period); }

}  // namespace kb::chart
