#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "chart/model/chart_market.h"
#include "core/fixed_text.h"
#include "market/bar_record.h"

namespace kb::chart::test {

// A market with a fixed list of symbols and, per symbol and period, bars whose version
// the test moves. Records what the chart asked of it.
class FakeMarket final : public ChartMarket {
public:
    void add_symbol(const std::string& name, int digits = 5) {
        market::SymbolRecord record{};
        core::set_field_text(record.name, name);
        record.digits = digits;
        symbols.push_back(record);
    }
    // Replaces the bars of a history; the version moves as a load does.
    void set_bars(const std::string& symbol, int period, std::vector<market::BarRecord> bars) {
        History& history = histories[{symbol, period}];
        history.bars = std::move(bars);
        history.version += 100;
    }
    // One more bar at the end, as ticks building a new bar do.
    void add_bar(const std::string& symbol, int period, const market::BarRecord& bar) {
        History& history = histories[{symbol, period}];
        history.bars.push_back(bar);
        history.version += 1;
    }

    std::optional<market::SymbolRecord> symbol(std::string_view name) override {
        for (const market::SymbolRecord& record : symbols)
            if (core::field_text(record.name) == name) return record;
        return std::nullopt;
    }
    std::optional<std::string> first_symbol() override {
        if (symbols.empty()) return std::nullopt;
        return std::string(core::field_text(symbols.front().name));
    }
    double ask(std::string_view) override { return current_ask; }
    void subscribe(std::string_view symbol, int period) override {
        ++references[{std::string(symbol), period}];
    }
    void release(std::string_view symbol, int period) override {
        --references[{std::string(symbol), period}];
    }
    bool copy_bars(std::string_view symbol, int period, market::ChartBuffer& chart) override {
        auto found = histories.find({std::string(symbol), period});
        if (found == histories.end() || found->second.version == chart.version) return false;
        chart.bars = found->second.bars;
        chart.version = found->second.version;
        return true;
    }
    void more_history(std::string_view symbol, int period, size_t bars_wanted) override {
        more_history_requests.push_back({std::string(symbol) + std::to_string(period), bars_wanted});
    }
    void synchronise(std::string_view symbol, int period) override {
        synchronised.push_back(std::string(symbol) + std::to_string(period));
    }

    struct History {
        std::vector<market::BarRecord> bars;
        int64_t version = 0;
    };
    std::vector<market::SymbolRecord> symbols;
    double current_ask = 0;   // of every symbol
    std::map<std::pair<std::string, int>, History> histories;
    std::map<std::pair<std::string, int>, int> references;
    std::vector<std::pair<std::string, size_t>> more_history_requests;
    std::vector<std::string> synchronised;
};

}  // namespace kb::chart::test
