#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "market/history_base.h"
#include "market/symbol_record.h"

namespace kb::market {
class HistoryCenter;
class SymbolsBase;
}  // namespace kb::market

namespace kb::chart {

// What a chart asks of the market side: which symbols exist and the bars of its history.
// Implemented over the symbols base and history centre in the terminal, over fixed data
// in tools and tests. Called from the user-interface thread under the chart's lock, so an
// implementation never calls back into the chart.
class ChartMarket {
public:
    virtual ~ChartMarket() = default;

    // The symbol's record; nothing when the symbols base doesn't know it.
    virtual std::optional<market::SymbolRecord> symbol(std::string_view name) = 0;
    // The first symbol the symbols base offers; nothing when it has none.
    virtual std::optional<std::string> first_symbol() = 0;
    // The current ask of a symbol, for the ask line; 0 when unknown.
    virtual double ask(std::string_view name) = 0;

    // Takes a reference to the history of the symbol and period (opening it when needed).
    virtual void subscribe(std::string_view symbol, int period) = 0;
    // Drops the reference subscribe() took.
    virtual void release(std::string_view symbol, int period) = 0;
    // Refreshes the chart's copy of the bars unless its version is current; true when
    // the buffer changed.
    virtual bool copy_bars(std::string_view symbol, int period, market::ChartBuffer& chart) = 0;
    // The chart was scrolled past its oldest bar: asks for up to bars_wanted older bars.
    virtual void more_history(std::string_view symbol, int period, size_t bars_wanted) = 0;
    // Asks for the history to be brought up to date with the server.
    virtual void synchronise(std::string_view symbol, int period) = 0;
};

// The terminal's market side: names from the symbols base, bars from the history centre.
// Both must outlive it.
class TerminalChartMarket final : public ChartMarket {
public:
    TerminalChartMarket(market::SymbolsBase& symbols, market::HistoryCenter& histories)
        : symbols_(symbols), histories_(histories) {}

    std::optional<market::SymbolRecord> symbol(std::string_view name) override;
    std::optional<std::string> first_symbol() override;
    double ask(std::string_view name) override;
    void subscribe(std::string_view symbol, int period) override;
    void release(std::string_view symbol, int period) override;
    bool copy_bars(std::string_view symbol, int period, market::ChartBuffer& chart) override;
    void more_history(std::string_view symbol, int period, size_t bars_wanted) override;
    void synchronise(std::string_view symbol, int period) override;

private:
    market::SymbolsBase& symbols_;
    market::HistoryCenter& histories_;
};

}  // namespace kb::chart
