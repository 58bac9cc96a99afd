#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "chart/framework/line_io.h"
#include "chart/framework/period_flags.h"
#include "chart/objects/bar_timeline.h"

namespace kb::core {
class SettingsStore;
}

namespace kb::chart {

// Type numbers of the chart objects as the profile stores them.
enum class ObjectType : int32_t { VerticalLine = 2, HorizontalLine = 3, Trendline = 4, Fibo = 12 };

inline constexpr int kObjectAnchors = 3;
inline constexpr std::size_t kObjectSymbolBytes = 11;
// Angles are tenths of a degree, 0..3599.
inline constexpr int32_t kFullAngle = 3600;

// The look and flags that the property dialogs read and change. Colours are 0x00BBGGRR,
// styles 0 solid and 1 dash, weights pen widths at 96 DPI; Ray, Background and LevelsRay
// are 0/1 flags; PeriodFlags are the timeframe bits of the indicators'.
enum class ObjectProperty {
    Color,
    Style,
    Weight,
    Ray,          // the line goes on past its second anchor
    Background,   // drawn behind the price series
    PeriodFlags,
    Ellipse,
    Scale,
    Angle,        // set modulo 3600 into 0..3599
    Color2,       // the Fibonacci level lines
    Style2,
    Weight2,
    LevelsRay,    // the level lines go on to the right
};

// Which parts of an anchor an object's class uses.
enum class AnchorUse { Time, Price, TimeAndPrice };

// A class's look before the settings store has a say.
struct ObjectLook {
    int32_t color = 0x0000FF;
    int32_t style = 0;
    int32_t weight = 1;
    int32_t ray = 0;
};

// What a new object drawn on a chart is given.
struct Placement {
    std::string_view symbol;   // the chart's
    int period = 0;            // the chart's, minutes
    int32_t time = 0;          // open time of the bar under the pointer
    double price = 0;          // price under the pointer
    int32_t create_time = 0;   // now, seconds since 1970
};

// A line study drawn on a chart: the base of the vertical line, horizontal line, trendline
// and Fibonacci retracement. It is anchored to times and prices (three anchors, of which
// these classes use one or two), belongs to an indicator of a chart window, and is kept in
// that indicator's block of the chart profile as an "<object>" block. create_object() and
// read_object_block() (object_block.h) make one.
// Not thread-safe: the chart touches objects under their window's lock.
class CObj {
public:
    virtual ~CObj() = default;
    CObj& operator=(const CObj&) = delete;

    // ---- the class ----

    ObjectType type() const { return type_; }
    // The type's name, also the prefix of its settings ("Trendline_color").
    virtual std::string_view name() const = 0;
    // Anchors in use (1 or 2) and which of their fields count.
    virtual int anchor_count() const = 0;
    virtual AnchorUse anchor_use() const = 0;
    // A copy with the same counter.
    virtual std::unique_ptr<CObj> clone() const = 0;
    // Copies every field of other (the Fibonacci levels with their descriptions and look
    // too). False, nothing copied, when other is of another type.
    virtual bool copy_from(const CObj& other);

    // Changes a property; false when the class has no such property.
    virtual bool set_property(ObjectProperty property, int32_t value);
    // A property's value; nothing when the class has no such property.
    virtual std::optional<int32_t> property(ObjectProperty property) const;

    // ---- profile block ----

    // Reads the lines after "type=" up to and including "</object>" (or the end of the
    // text), each through parse_line().
    virtual void read_block(LineSource& lines);
    // Applies one line; true when its key is known. Keys: "symbol=" (at most 11 bytes),
    // "counter=" (also raises the process-wide counter), "period=", "period_flags=",
    // "create_time=", "color=", "style=", "weight=", "time_0=".."time_2=", "ray=",
    // "ellipse=", "background=", "scale=" as decimal integers, "angle=" modulo 3600 into
    // 0..3599, "value_0=".."value_2=" as numbers (an unreadable value leaves the field
    // as it was). Other lines are ignored.
    virtual bool parse_line(std::string_view line);
    // Writes the whole "<object>" block: the common lines, then the class's own. A
    // two-anchor object whose anchors are equal (same time, same price) writes nothing.
    virtual void write_block(LineSink& sink) const;

    // ---- defaults ----

    // Takes the look from the settings store's "Objects" section, values named
    // "<name>_color", "<name>_style", "<name>_weight" (default 1), "<name>_ray",
    // "<name>_background_"; a missing value gives the class default. Reads only.
    virtual void load_defaults(const core::SettingsStore& store);
    // Writes the same values, as the properties dialog does when the user keeps the look
    // as the default for new objects.
    virtual void store_defaults(core::SettingsStore& store) const;

    // Makes this a new object on a chart: the chart's symbol and period, both anchors at
    // the time and price, no cached positions, the look from the store, a new counter and
    // the creation time.
    void place(const Placement& placement, const core::SettingsStore& store);

    // ---- fields ----

    int32_t counter() const { return counter_; }
    void set_counter(int32_t counter) { counter_ = counter; }
    const std::string& symbol() const { return symbol_; }
    int period() const { return period_; }
    int32_t create_time() const { return create_time_; }
    // Anchor i (0..2); out of range reads as 0 and changes nothing.
    int32_t time(int i) const;
    double value(int i) const;
    void set_anchor(int i, int32_t time, double value);
    // Whether it shows on a chart period (its period flags, as an indicator's).
    bool visible_on(int period_minutes) const;

    // ---- positions ----

    // The bar positions of the anchors on timeline, computed on first use and kept while
    // the timeline's bars are the same ones (same count, first and last time, period) and
    // until invalidate_positions().
    const std::array<int, kObjectAnchors>& positions(const BarTimeline& timeline) const;
    void invalidate_positions() { cached_key_.reset(); }
    bool positions_cached() const { return cached_key_.has_value(); }

protected:
    CObj(ObjectType type, const ObjectLook& look);
    CObj(const CObj&) = default;

    // The class's lines after the common ones, before "</object>".
    virtual void write_tail(LineSink& sink) const = 0;
    // "<name>_<value>", the settings value name.
    std::string settings_name(std::string_view value) const;

    const ObjectType type_;
    const ObjectLook class_look_;
    int32_t counter_ = 0;
    int32_t period_flags_ = kAllPeriods;
    std::string symbol_;
    int32_t period_ = 0;
    std::array<int32_t, kObjectAnchors> times_{};
    std::array<double, kObjectAnchors> values_{};
    int32_t color_;
    int32_t style_;
    int32_t weight_;
    int32_t ray_;
    int32_t ellipse_ = 0;
    int32_t scale_ = 0;
    int32_t angle_ = 0;
    int32_t background_ = 0;
    int32_t create_time_ = 0;

private:
    mutable std::optional<TimelineKey> cached_key_;
    mutable std::array<int, kObjectAnchors> cached_positions_{};
};

// An angle in tenths of a degree brought into 0..3599 (-10 gives 3590).
int32_t normalized_angle(int32_t angle);

}  // namespace kb::chart
