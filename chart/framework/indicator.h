#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "chart/framework/indicator_buffers.h"
#include "chart/framework/line_io.h"
#include "chart/framework/period_flags.h"
#include "chart/indicators/applied_price.h"
#include "chart/indicators/bar_view.h"
#include "chart/indicators/calculation.h"
#include "chart/objects/chart_object.h"
#include "market/bar_record.h"

namespace kb::core {
class Journal;
class SettingsStore;
}  // namespace kb::core

namespace kb::chart {

// Type numbers of the indicator classes (0 is the bare base, registry name "None").
enum class IndicatorType : int32_t {
    None = 0,
    Main = 1,
    AcceleratorOscillator = 2,
    AccumulationDistribution = 3,
    Alligator = 4,
    AverageDirectionalMovementIndex = 5,
    AverageTrueRange = 6,
    AwesomeOscillator = 7,
    BearsPower = 8,
    BollingerBands = 9,
    BullsPower = 10,
    CommodityChannelIndex = 11,
    DeMarker = 12,
    Envelopes = 13,
    ForceIndex = 14,
    Fractals = 15,
    GatorOscillator = 16,
    IchimokuKinkoHyo = 17,
    MarketFacilitationIndex = 18,
    Macd = 19,
    Momentum = 20,
    MoneyFlowIndex = 21,
    MovingAverage = 22,
    MovingAverageOfOscillator = 23,
    OnBalanceVolume = 24,
    ParabolicSar = 25,
    RelativeStrengthIndex = 26,
    RelativeVigorIndex = 27,
    StandardDeviation = 28,
    StochasticOscillator = 29,
    Volumes = 30,
    WilliamsPercentRange = 31,
};

// Where an indicator draws: over the prices or in a sub-window of its own.
enum class WindowKind : int32_t { Main = 0, Own = 1 };

// How its main values are drawn.
enum class DrawKind : int32_t { Lines = 0, Histogram = 2, Arrows = 3 };

// How many decimals its value texts show.
enum class DigitsRule {
    Fixed0,        // volumes and sums of volumes
    Fixed4,        // oscillators with their own scale
    Symbol,        // prices: the symbol's digits (4 when the symbol is unknown)
    SymbolPlus1,   // differences of prices
    SymbolPlus2,   // differences of differences
};

// Colour (0x00BBGGRR), pen style (0 solid, 1 dash) and pen width of one drawn line.
struct LineStyle {
    int32_t color = 0x0000FF;
    int32_t style = 0;
    int32_t weight = 1;
    bool operator==(const LineStyle&) const = default;
};

inline constexpr int kMaxIndicatorLines = 5;
inline constexpr int kMaxLevels = 32;
inline constexpr std::size_t kLevelDescriptionBytes = 31;
inline constexpr std::size_t kLabelBytes = 63;
inline constexpr int kMaxPeriod = 4000;
inline constexpr int kDefaultPeriod = 14;
inline constexpr int kDefaultDigits = 4;

// A horizontal level of a sub-window.
struct IndicatorLevel {
    double value = 0;
    std::string description;   // 8-bit, at most kLevelDescriptionBytes
    bool operator==(const IndicatorLevel&) const = default;
};

// What never changes for a class: the catalogue row.
struct IndicatorTraits {
    std::string_view name;   // display name = registry name = "name=" in the profile
    std::string_view label;  // short label: a fixed text or a printf format of the period
    IndicatorType type = IndicatorType::None;
    WindowKind window = WindowKind::Own;
    DrawKind draw = DrawKind::Lines;
    bool data_source = true;   // can feed another indicator (applied price 7 / 8)
    bool data_input = false;   // can take another indicator's data
    int buffers = 0;           // output buffers
    int lines = 1;             // drawn lines with their own colour, style and width
    DigitsRule digits = DigitsRule::Fixed4;
};

// What a new indicator of the class starts with.
struct IndicatorDefaults {
    int period = kDefaultPeriod;
    int apply = ind::kPriceClose;   // -1 for classes without a price choice
    std::array<LineStyle, kMaxIndicatorLines> lines{};
    std::vector<double> levels;
    LineStyle level_style{0xC0C0C0, 1, 1};
    std::optional<double> fixed_minimum;
    std::optional<double> fixed_maximum;
};

// The chart's bars and what an indicator needs to know about them, handed to the first
// indicator of each window on every update (profile load, new bars, ticks, symbol or
// period change, indicator added or removed).
struct BarsUpdate {
    std::string_view symbol;
    int period = 0;                                  // minutes
    std::span<const market::BarRecord> bars;         // oldest first; the bar count is its size
    int bar_capacity = 0;                            // capacity of the chart's bar array
    int history_version = -1;                        // the version the chart copied; -1 after a change
    int symbol_digits = -1;                          // the symbol's digits, -1 when unknown
    double ask = 0;                                  // the symbol's current ask
    core::Journal* journal = nullptr;                // may be null
};

// Another indicator's output that an indicator on applied price 7 or 8 calculates on.
struct SourceData {
    std::span<const double> values;   // the source's main buffer, at least the bar count
    int draw_begin = 0;
    int digits = kDefaultDigits;
    // Which indicator and which of its full calculations the values come from: another
    // source, or a source calculated again from its first bar, makes the follower start
    // from its first bar too.
    const void* origin = nullptr;
    uint64_t generation = 0;
};

// What a calculation request did.
enum class CalculationResult {
    NotApplicable,   // calculate on data: the indicator does not take this source
    Unchanged,       // same history version as the last calculation: nothing done
    Hidden,          // not shown on this timeframe: buffers freed
    Empty,           // no values (no bars, no symbol, invalid periods): used lengths 0
    Calculated,
    OutOfMemory,     // buffers could not be allocated: journaled, nothing calculated
};

// The base of every series drawn in a chart window, the price series included: common
// parameters and line styles, levels, fixed scale bounds, visibility per timeframe, the
// "<indicator>" block of the chart profile and the recalculation protocol. The classes of
// the catalogue derive from it; create_indicator() (chart/catalogue/indicator_factory.h)
// makes one from its display name, read_indicator_block() (indicator_block.h) from a
// profile block, and calculate_window() (window_calculation.h) is how the chart hands
// its bars to a window's list.
// Not thread-safe: the chart touches an indicator under its window's lock.
class CInd {
public:
    virtual ~CInd() = default;
    CInd(const CInd&) = delete;
    CInd& operator=(const CInd&) = delete;

    // ---- profile block ----

    // Reads the lines of an "<indicator>" block after its "name=" line, up to and including
    // "</indicator>" (or the end of the text). First clears the fixed-minimum and
    // fixed-maximum flags and the levels, so that only what the block says survives of them;
    // a line "<object>" starts a chart object block, read by read_object_block() (which
    // journals a block without its header) and attached to this indicator; every other
    // line goes to parse_line(). Rebuilds the short label at the end. journal may be null.
    virtual void load_block(LineSource& lines, core::Journal* journal);

    // Applies one "key=value" line; true when the key is known (also when its value was
    // out of range and replaced by its limit, or unreadable and ignored). Each class checks
    // its own keys and then the common ones: period= (<= 0 or > 4000 becomes 14), apply=,
    // color=, style=, weight=, min=, max=, levels_color=, levels_style=, levels_weight=,
    // level_N= (N 0..31; raises the level count to N + 1), description_N= (N 0..31, at most
    // 31 bytes), period_flags=. A number key whose value can't be read (or reads as
    // -1000000000.0) counts as absent.
    virtual bool parse_line(std::string_view line);

    // Writes the whole block: "<indicator>", "name=...", the class's parameter lines in its
    // order, "min=%.6lf" / "max=%.6lf" when fixed, the levels when there are any (colour,
    // style, weight, then each "level_%d=%.4lf" followed by its "description_%d=%s" when it
    // has one), "period_flags=%d" (not for the price series), the block of each attached
    // chart object in order, "</indicator>".
    virtual void save_block(LineSink& sink) const;

    // The class's parameter and colour lines alone, as save_block() writes them between
    // "name=" and the common tail ("period=14", "apply=0", "color=255", ...).
    std::vector<std::string> parameter_lines() const;

    // Applies "key=value" lines the way a profile block does: each through parse_line()
    // with the class's limits, then the limits that depend on two keys; rebuilds the label.
    // Returns false when a line's key is unknown to the class (the other lines still apply).
    bool apply_parameter_lines(std::span<const std::string> lines);

    // ---- identity (the catalogue row) ----

    virtual std::string_view registry_name() const { return traits_.name; }
    // The short label ("RSI(14)"), at most 63 bytes; label() holds the last one built.
    virtual std::string build_label() const;
    virtual bool can_serve_as_source() const { return traits_.data_source; }
    virtual WindowKind window_kind() const { return traits_.window; }
    virtual DrawKind draw_kind() const { return traits_.draw; }
    virtual IndicatorType type() const { return traits_.type; }
    virtual bool accepts_data_input() const { return traits_.data_input; }
    int line_count() const { return traits_.lines; }
    int buffer_count() const { return traits_.buffers; }

    // ---- defaults ----

    virtual int default_period() const { return defaults_.period; }
    virtual int default_apply() const { return defaults_.apply; }
    // Line 0 is the main line; lines beyond line_count() have no meaning.
    virtual LineStyle default_line_style(int line) const;
    virtual int default_level_count() const { return static_cast<int>(defaults_.levels.size()); }
    virtual LineStyle default_level_style() const { return defaults_.level_style; }

    // Replaces the parameters, colours and levels by those kept in the settings store's
    // "Indicators" section, value names made from the display name ("RSI_period" style:
    // "<name>_color", "<name>_period", "<name>_level0", ...); a missing value keeps the
    // class default. The store is read, never written.
    virtual void load_defaults(const core::SettingsStore& store);

    // True when other would duplicate this one in a window: the same type and the class's
    // parameters (by default period and applied price, never on the previous indicator's
    // data; MACD, Stochastic, Force Index, Parabolic SAR and Ichimoku compare their own).
    virtual bool equals(const CInd& other) const;

    // ---- calculation ----

    // Calculates on the chart's bars: nothing when the history version equals the one of the
    // last calculation over the same series; buffers freed when hidden on the period;
    // otherwise a full or incremental calculation by the recalculation rule
    // (chart/indicators/recalculation.h). An indicator on applied price 7 or 8 that gets
    // here has no usable source: its applied price becomes 0 (close) and it calculates in full.
    virtual CalculationResult calculate_on_bars(const BarsUpdate& update);

    // Calculates on another indicator's main buffer; NotApplicable (nothing changed) unless
    // the class accepts data input and its applied price is 7 or 8. The source's digits
    // become this indicator's digits.
    virtual CalculationResult calculate_on_data(const BarsUpdate& update, const SourceData& source);

    // Forgets the last calculation, so that the next update calculates in full (after a
    // change of parameters).
    void reset_calculation();

    // ---- common fields ----

    // The setters take values as they are (the block reader applies the limits); after a
    // change, reset_calculation() and rebuild_label().
    int apply() const { return apply_; }
    void set_apply(int apply) { apply_ = apply; }
    int period() const { return period_; }
    void set_period(int period) { period_ = period; }
    LineStyle line_style(int line) const;
    void set_line_style(int line, LineStyle style);
    int32_t period_flags() const { return period_flags_; }
    void set_period_flags(int32_t flags) { period_flags_ = flags; }
    bool visible_on(int period_minutes) const { return visible_on_period(period_flags_, period_minutes); }

    std::span<const IndicatorLevel> levels() const { return {levels_.data(), static_cast<std::size_t>(level_count_)}; }
    // At most kMaxLevels are kept; descriptions are cut to kLevelDescriptionBytes.
    void set_levels(std::vector<IndicatorLevel> levels);
    LineStyle level_style() const { return level_style_; }
    void set_level_style(LineStyle style) { level_style_ = style; }
    std::optional<double> fixed_minimum() const { return fixed_minimum_; }
    std::optional<double> fixed_maximum() const { return fixed_maximum_; }
    void set_fixed_minimum(std::optional<double> value) { fixed_minimum_ = value; }
    void set_fixed_maximum(std::optional<double> value) { fixed_maximum_ = value; }

    const std::string& label() const { return label_; }
    void rebuild_label();

    // ---- results ----

    // Decimals of the value texts, set by each calculation.
    int digits() const { return digits_; }
    // The used values of buffer i (empty when nothing is calculated or i is out of range).
    std::span<const double> buffer(int i) const { return buffers_.values(i); }
    // First bar of the main line (line 0) and of the second line.
    int draw_begin(int line = 0) const { return line == 0 ? draw_begin_ : draw_begin2_; }
    // Bar count of the last calculation (0 = none).
    int computed_count() const { return computed_; }
    // Counts the full calculations, so that an indicator on this one's data can tell when
    // it must start again from the first bar.
    uint64_t generation() const { return generation_; }

    // ---- chart objects anchored in this indicator's window ----

    // In the order they were attached (the order of drawing and of the profile).
    const std::vector<std::unique_ptr<CObj>>& objects() const { return objects_; }
    void attach_object(std::unique_ptr<CObj> object);
    // The first object with that counter; null when there is none.
    CObj* find_object(int32_t counter) const;
    // Removes the first object with that counter and hands it over; null when none.
    std::unique_ptr<CObj> detach_object(int32_t counter);
    // Forgets the cached bar positions of every attached object.
    void invalidate_object_positions();

    // Replaces the buffer allocation (a test shows what a failed one does); drops the buffers.
    void set_buffer_allocator(IndicatorBuffers::Allocate allocate);

protected:
    CInd(const IndicatorTraits& traits, const IndicatorDefaults& defaults);

    // The class's parameter and colour lines, in its order, between "name=" and the common
    // tail.
    virtual void save_parameters(LineSink& sink) const = 0;

    // The class's calculation on the bars into output(0 .. buffer_count() - 1), each the
    // bar count long; computed 0 asks for a full calculation. The bare base calculates
    // nothing.
    virtual ind::Calculation compute_on_bars(const ind::BarView& bars, int computed);

    // The same on another indicator's main buffer; only classes that accept data input
    // override it.
    virtual ind::Calculation compute_on_data(std::span<const double> source, int source_draw_begin,
                                             int computed);

    // Called by load_block after the last line, for limits that depend on two keys.
    virtual void finish_load() {}

    // Buffer i over the bar count of the calculation under way.
    std::span<double> output(int i);
    // The symbol's digits of the calculation under way (4 when unknown).
    int symbol_digits() const { return symbol_digits_; }
    // The "color=%d", "style=%d", "weight=%d" lines of line (0-based: no suffix for line 0,
    // "2" for line 1, ...); the parsers of the same keys.
    void save_line_style(LineSink& sink, int line) const;
    bool parse_line_style(std::string_view line, int first_line, int count);

    const IndicatorTraits& traits_;
    const IndicatorDefaults& defaults_;
    int apply_;
    int period_;
    std::array<LineStyle, kMaxIndicatorLines> lines_;

private:
    CalculationResult calculate(const BarsUpdate& update, const SourceData* source);
    void apply_digits_rule(int symbol_digits);

    int32_t period_flags_ = kAllPeriods;
    // All 32 slots: a block may describe a level before it gives its value.
    std::array<IndicatorLevel, kMaxLevels> levels_{};
    int level_count_ = 0;
    LineStyle level_style_;
    std::optional<double> fixed_minimum_;
    std::optional<double> fixed_maximum_;
    std::string label_;

    IndicatorBuffers buffers_;
    std::string symbol_;        // series of the last calculation
    int series_period_ = 0;
    int computed_ = 0;
    int history_version_ = -1;
    bool calculated_ = false;
    int digits_ = kDefaultDigits;
    int symbol_digits_ = kDefaultDigits;
    int draw_begin_ = 0;
    int draw_begin2_ = 0;
    int bar_count_ = 0;   // of the calculation under way
    uint64_t generation_ = 0;
    const void* source_origin_ = nullptr;
    uint64_t source_generation_ = 0;
    std::vector<std::unique_ptr<CObj>> objects_;
};

}  // namespace kb::chart
