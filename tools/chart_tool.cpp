#include "tools/chart_tool.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

#include "chart/model/chart.h"
#include "core/fixed_text.h"
#include "market/history_base.h"
#include "market/symbols_base.h"
#include "platform/files.h"
#include "tools/bar_csv.h"
#include "tools/history_workspace.h"

namespace kb::tools {

namespace {

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kToolDpi = 96;

constexpr const char* kUsage =
    "usage: chart-tool profile PROFILE.ini [--symbols SYMBOLS.raw] | chart-tool values PROFILE.ini HISTORY.hst";

// The market a tool's chart sees: a fixed list of symbols and at most one history.
class FixedMarket final : public chart::ChartMarket {
public:
    explicit FixedMarket(std::vector<market::SymbolRecord> symbols) : symbols_(std::move(symbols)) {}
    FixedMarket(const market::SymbolRecord& symbol, int period, std::vector<market::BarRecord> bars)
        : symbols_{symbol}, period_(period) {
        bars_.bars = std::move(bars);
        bars_.version = 0;
    }

    std::optional<market::SymbolRecord> symbol(std::string_view name) override {
        for (const market::SymbolRecord& record : symbols_)
            if (core::field_text(record.name) == name) return record;
        return std::nullopt;
    }
    std::optional<std::string> first_symbol() override {
        if (symbols_.empty()) return std::nullopt;
        return std::string(core::field_text(symbols_.front().name));
    }
    double ask(std::string_view) override { return 0; }
    void subscribe(std::string_view, int) override {}
    void release(std::string_view, int) override {}
    bool copy_bars(std::string_view symbol, int period, market::ChartBuffer& chart) override {
        if (period != period_ || symbols_.empty() || core::field_text(symbols_.front().name) != symbol ||
            chart.version == bars_.version)
            return false;
        chart = bars_;
        return true;
    }
    void more_history(std::string_view, int, size_t) override {}
    void synchronise(std::string_view, int) override {}

private:
    std::vector<market::SymbolRecord> symbols_;
    int period_ = 0;
    market::ChartBuffer bars_;
};

int fail(std::ostream& err, const std::string& message) {
    err << "chart-tool: " << message << '\n';
    return kFailed;
}

core::DisplayMetrics tool_metrics() {
    core::DisplayMetrics metrics;
    metrics.dpi_x = metrics.dpi_y = kToolDpi;
    return metrics;
}

// Loads the profile into chart; the error line when it can't be used.
std::optional<std::string> load_profile(chart::Chart& chart, const std::string& path) {
    switch (chart.load_profile()) {
    case chart::ProfileLoad::Loaded: return std::nullopt;
    case chart::ProfileLoad::Missing: return "cannot read '" + path + "'";
    case chart::ProfileLoad::NotAProfile: break;
    }
    return "'" + path + "' is not a chart profile: its first line is not \"<chart>\"";
}

// The symbols of a symbols.raw, in the order the symbols base offers them.
std::optional<std::vector<market::SymbolRecord>> read_symbols(const std::string& path, std::ostream& err) {
    Workspace workspace;
    if (!workspace.ready() || !workspace.add_file(path, "symbols.raw")) return std::nullopt;
    JournalToStream journal(workspace.root(), err);
    market::SymbolsBase base(workspace.root(), Workspace::kServer, journal.get(), nullptr);
    std::vector<market::SymbolRecord> symbols;
    for (size_t i = 0; i < base.symbol_count(); ++i)
        if (std::optional<market::SymbolRecord> symbol = base.symbol_at(i)) symbols.push_back(*symbol);
    return symbols;
}

int print_profile(std::span<const std::string> arguments, std::ostream& out, std::ostream& err) {
    const std::string& path = arguments[0];
    std::vector<market::SymbolRecord> symbols;
    if (arguments.size() == 3) {
        if (arguments[1] != "--symbols") return fail(err, "unknown option '" + arguments[1] + "'; " + kUsage);
        if (!platform::file_exists(arguments[2])) return fail(err, "cannot read '" + arguments[2] + "'");
        std::optional<std::vector<market::SymbolRecord>> read = read_symbols(arguments[2], err);
        if (!read) return fail(err, "cannot read '" + arguments[2] + "'");
        symbols = std::move(*read);
    } else if (arguments.size() != 1) {
        return fail(err, std::string("profile takes a profile and --symbols FILE at most; ") + kUsage);
    }
    FixedMarket market(std::move(symbols));
    chart::Chart chart({path, market, tool_metrics(), nullptr, chart::ProfileWrites::No});
    if (std::optional<std::string> error = load_profile(chart, path)) return fail(err, *error);
    out << chart.profile_text();
    out.flush();
    return out.good() ? kDone : fail(err, "cannot write the profile");
}

// One indicator's columns.
struct Column {
    std::string name;
    std::vector<double> values;
};

std::vector<Column> indicator_columns(const chart::Chart& chart) {
    std::vector<Column> columns;
    chart.for_each_window([&](const chart::ChartWindow& window) {
        for (size_t i = 0; i < window.indicator_count(); ++i) {
            const chart::CInd& indicator = *window.indicator(i);
            for (int b = 0; b < indicator.buffer_count(); ++b) {
                const std::span<const double> values = indicator.buffer(b);
                columns.push_back({std::string(indicator.registry_name()) + "[" + std::to_string(b) + "]",
                                   std::vector<double>(values.begin(), values.end())});
            }
        }
    });
    return columns;
}

void write_values(const std::vector<market::BarRecord>& bars, const std::vector<Column>& columns, std::ostream& out) {
    out << "time";
    for (const Column& column : columns) out << ',' << column.name;
    out << '\n';
    char number[40];
    for (size_t row = 0; row < bars.size(); ++row) {
        out << csv_time(bars[row].time);
        for (const Column& column : columns) {
            std::snprintf(number, sizeof number, "%.17g", row < column.values.size() ? column.values[row] : 0.0);
            out << ',' << number;
        }
        out << '\n';
    }
}

int print_values(const std::string& profile_path, const std::string& history_path, std::ostream& out,
                 std::ostream& err) {
    if (!platform::file_exists(profile_path)) return fail(err, "cannot read '" + profile_path + "'");
    if (!platform::file_exists(history_path)) return fail(err, "cannot read '" + history_path + "'");
    std::optional<market::HistoryFileHeader> header = read_history_header(history_path);
    if (!header) return fail(err, "'" + history_path + "' has no valid history header (version 400)");
    const HistoryIdentity identity = identity_of(*header);
    Workspace workspace;
    if (!workspace.ready()) return fail(err, "cannot make a temporary folder");
    if (!platform::copy_file(history_path, workspace.history_file(identity)))
        return fail(err, "cannot read '" + history_path + "'");
    JournalToStream journal(workspace.root(), err);
    std::unique_ptr<market::HistoryBase> history = open_history(identity, workspace, journal.get());
    if (!history)
        return fail(err, "'" + history_path + "' names a history that can't exist: '" + history_name(identity) + "'");

    // The chart shows the file's history: its symbol is the only one known, so the
    // profile's symbol resolves to it; the period is switched to the file's.
    FixedMarket market(history->symbol(), identity.period, history->bars());
    chart::Chart chart({profile_path, market, tool_metrics(), journal.get(), chart::ProfileWrites::No});
    if (std::optional<std::string> error = load_profile(chart, profile_path)) return fail(err, *error);
    const chart::ChartSettings settings = chart.settings();
    if (settings.symbol != identity.symbol || settings.period != identity.period) {
        if (!chart.set_period(identity.symbol, identity.period))
            return fail(err, "cannot show '" + history_name(identity) + "' on the chart");
    }
    write_values(chart.bars(), indicator_columns(chart), out);
    out.flush();
    return out.good() ? kDone : fail(err, "cannot write the values");
}

}  // namespace

int run_chart_tool(std::span<const std::string> arguments, std::ostream& out, std::ostream& err) {
    if (arguments.empty()) return fail(err, std::string("no command; ") + kUsage);
    const std::string& command = arguments[0];
    if (command == "profile") {
        if (arguments.size() < 2) return fail(err, std::string("profile takes a profile file; ") + kUsage);
        return print_profile(arguments.subspan(1), out, err);
    }
    if (command == "values") {
        if (arguments.size() != 3) return fail(err, std::string("values takes a profile and a history file; ") + kUsage);
        return print_values(arguments[1], arguments[2], out, err);
    }
    return fail(err, "unknown command '" + command + "'; " + kUsage);
}

}  // namespace kb::tools
