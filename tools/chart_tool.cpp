#include "tools/chart_tool.h"

#include <cstdio>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

#include "chart/model/chart.h"
#include "core/fixed_text.h"
#include "market/history_base.h"
#include "market/symbols_base.h"
#include "platform/files.h"
#include "tools/bar_csv.h"
#include "ui/painter/chart_picture.h"
#include "tools/history_workspace.h"

namespace kb::tools {

namespace {

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kToolDpi = 96;

constexpr const char* kUsage =
    "usage: chart-tool profile PROFILE.ini [--symbols SYMBOLS.raw] | chart-tool values PROFILE.ini HISTORY.hst | "
    "chart-tool render PROFILE.ini HISTORY.hst OUT.png [--size WIDTHxHEIGHT] [--dpi N] [--leftpos N]";

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

// A chart over one history file: the file's symbol is the only one known, so the
// profile's symbol resolves to it; the period is switched to the file's.
struct HistoryChart {
    Workspace workspace;
    std::unique_ptr<JournalToStream> journal;
    std::unique_ptr<market::HistoryBase> history;
    std::unique_ptr<FixedMarket> market;
    std::unique_ptr<chart::Chart> chart;
};

// Loads profile and history into out; the error line when they can't be used.
std::optional<std::string> load_history_chart(const std::string& profile_path, const std::string& history_path,
                                              int dpi, std::ostream& err, HistoryChart& out) {
    if (!platform::file_exists(profile_path)) return "cannot read '" + profile_path + "'";
    if (!platform::file_exists(history_path)) return "cannot read '" + history_path + "'";
    std::optional<market::HistoryFileHeader> header = read_history_header(history_path);
    if (!header) return "'" + history_path + "' has no valid history header (version 400)";
    const HistoryIdentity identity = identity_of(*header);
    if (!out.workspace.ready()) return std::string("cannot make a temporary folder");
    if (!platform::copy_file(history_path, out.workspace.history_file(identity)))
        return "cannot read '" + history_path + "'";
    out.journal = std::make_unique<JournalToStream>(out.workspace.root(), err);
    out.history = open_history(identity, out.workspace, out.journal->get());
    if (!out.history)
        return "'" + history_path + "' names a history that can't exist: '" + history_name(identity) + "'";
    out.market = std::make_unique<FixedMarket>(out.history->symbol(), identity.period, out.history->bars());
    core::DisplayMetrics metrics = tool_metrics();
    metrics.dpi_x = metrics.dpi_y = dpi;
    out.chart = std::make_unique<chart::Chart>(
        chart::ChartEnvironment{profile_path, *out.market, metrics, out.journal->get(), chart::ProfileWrites::No});
    if (std::optional<std::string> error = load_profile(*out.chart, profile_path)) return error;
    const chart::ChartSettings settings = out.chart->settings();
    if (settings.symbol != identity.symbol || settings.period != identity.period) {
        if (!out.chart->set_period(identity.symbol, identity.period))
            return "cannot show '" + history_name(identity) + "' on the chart";
    }
    return std::nullopt;
}

int print_values(const std::string& profile_path, const std::string& history_path, std::ostream& out,
                 std::ostream& err) {
    HistoryChart loaded;
    if (std::optional<std::string> error = load_history_chart(profile_path, history_path, kToolDpi, err, loaded))
        return fail(err, *error);
    write_values(loaded.chart->bars(), indicator_columns(*loaded.chart), out);
    out.flush();
    return out.good() ? kDone : fail(err, "cannot write the values");
}

// A whole decimal number in [low, high]; nothing otherwise.
std::optional<int> whole_number(const std::string& text, int low, int high) {
    if (text.empty() || text.size() > 9) return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value < low || value > high) return std::nullopt;
    return value;
}

int render_picture(std::span<const std::string> arguments, std::ostream& err) {
    constexpr int kMaxSide = 8192;
    constexpr int kMinSide = 16;
    ui::PictureRequest request;
    std::optional<int> leftpos;
    for (size_t i = 3; i < arguments.size(); i += 2) {
        const std::string& option = arguments[i];
        if (i + 1 >= arguments.size()) return fail(err, "option '" + option + "' needs a value; " + kUsage);
        const std::string& value = arguments[i + 1];
        if (option == "--size") {
            const size_t x = value.find('x');
            std::optional<int> width, height;
            if (x != std::string::npos) {
                width = whole_number(value.substr(0, x), kMinSide, kMaxSide);
                height = whole_number(value.substr(x + 1), kMinSide, kMaxSide);
            }
            if (!width || !height)
                return fail(err, "--size takes WIDTHxHEIGHT, each 16 to 8192 pixels, not '" + value + "'");
            request.width = *width;
            request.height = *height;
        } else if (option == "--dpi") {
            std::optional<int> dpi = whole_number(value, 96, 960);
            if (!dpi) return fail(err, "--dpi takes 96 to 960, not '" + value + "'");
            request.dpi = *dpi;
        } else if (option == "--leftpos") {
            leftpos = whole_number(value, 0, 100000000);
            if (!leftpos) return fail(err, "--leftpos takes a bar number of 0 or more, not '" + value + "'");
        } else {
            return fail(err, "unknown option '" + option + "'; " + kUsage);
        }
    }
#ifdef KB_NO_CHART_PICTURE
    return fail(err, "this chart-tool was built without pictures");
#else
    HistoryChart loaded;
    if (std::optional<std::string> error = load_history_chart(arguments[0], arguments[1], request.dpi, err, loaded))
        return fail(err, *error);
    loaded.chart->set_area({0, 0, request.width, request.height});
    // The newest bars unless a leftpos is asked for (limited like a scroll).
    loaded.chart->scroll_to(leftpos ? *leftpos : std::numeric_limits<int>::max());
    if (std::optional<std::string> error = ui::write_chart_picture(*loaded.chart, request, arguments[2],
                                                               loaded.journal->get()))
        return fail(err, *error);
    return kDone;
#endif
}

}  // namespace

int run_chart_tool(std::span<const std::string> arguments, std::ostream& out, std::ostream& err) {
    if (arguments.empty()) return fail(err, std::string("no command; ") + kUsage);
    const std::string& command = arguments[0];
    if (command == "profile") {
        if (arguments.size() < 2) return fail(err, std::string("profile takes a profile file; ") + kUsage);
        return print_profile(arguments.subspan(1), out, err);
    }
    if (command == "render") {
        if (arguments.size() < 4 || arguments.size() % 2 != 0)
            return fail(err, std::string("render takes a profile, a history, a picture file and options; ") + kUsage);
        return render_picture(arguments.subspan(1), err);
    }
    if (command == "values") {
        if (arguments.size() != 3) return fail(err, std::string("values takes a profile and a history file; ") + kUsage);
        return print_values(arguments[1], arguments[2], out, err);
    }
    return fail(err, "unknown command '" + command + "'; " + kUsage);
}

}  // namespace kb::tools
