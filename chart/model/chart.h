#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "chart/framework/indicator.h"
#include "chart/model/chart_geometry.h"
#include "chart/model/chart_market.h"
#include "chart/model/chart_settings.h"
#include "chart/model/chart_window.h"
#include "chart/objects/object_editing.h"
#include "chart/objects/object_geometry.h"
#include "core/display_metrics.h"
#include "market/history_base.h"

namespace kb::core {
class Journal;
class SettingsStore;
}

namespace kb::chart {

// Whether the chart writes its profile after a change. Tools that only read a profile say No.
enum class ProfileWrites { Yes, No };

// What a chart works with. The market and journal must outlive the chart.
struct ChartEnvironment {
    std::string profile_path;              // "<program folder>/profiles/chart.ini"
    ChartMarket& market;
    core::DisplayMetrics metrics;          // DPI of the screen
    core::Journal* journal = nullptr;      // may be null
    ProfileWrites writes = ProfileWrites::Yes;
};

// How a profile load went. Whatever it says, the chart is usable afterwards.
enum class ProfileLoad {
    Loaded,
    Missing,       // the file can't be read: defaults
    NotAProfile,   // its first line isn't "<chart>": every setting at its lower limit
};

// What the pointer touches of a chart object: the object (by its counter) and the handle.
struct ObjectHit {
    int32_t counter = 0;
    Handle handle = Handle::Middle;
    bool operator==(const ObjectHit&) const = default;
};

// The chart: settings, bars of the current symbol and period, and the windows with their
// indicators. Every change the user makes is written to the profile at once (after the
// profile was loaded; never before). The chart keeps one reference to the history of its
// symbol and period from the load until it is destroyed.
// Thread-safe: every operation takes the chart's lock, then a window's lock for its
// indicators; the market is called under the chart's lock. Results are copies.
class Chart {
public:
    static constexpr std::string_view kDefaultSymbol = "EURUSD";

    explicit Chart(ChartEnvironment environment);
    // Releases the history reference.
    ~Chart();
    Chart(const Chart&) = delete;
    Chart& operator=(const Chart&) = delete;

    // Rebuilds the windows, indicators and settings from the profile, resolves the symbol
    // against the market (the first symbol it offers, or "EURUSD"), takes the history's
    // bars and calculates every indicator. Writes nothing.
    ProfileLoad load_profile();
    // Writes the profile (temporary file and rename). False when it couldn't be written;
    // does nothing (true) before the first load or when the chart doesn't write.
    bool save_profile();
    // The profile exactly as save_profile() writes it.
    std::string profile_text() const;

    // Changes symbol and period: refused (false) while a change is under way or for a
    // symbol the market doesn't know. With auto scroll off the number of bars between
    // the newest bar and the right edge stays the same; on, the newest bar shows.
    bool set_period(std::string_view symbol, int minutes);
    void set_colour_scheme(ColourScheme scheme);
    void set_graph_mode(GraphMode mode);
    // Flips a display flag. Scroll, when it becomes on, and Shift scroll to the newest
    // bar. Descriptions can't be toggled: false.
    bool toggle(ChartFlag flag);
    // Asks the history to be brought up to date with the server.
    void refresh();
    // Halves or doubles the scale; false when refused (below 2 / above 16).
    bool zoom(Zoom direction);
    // Scrolls to leftpos, limited to 0..bar count - visible bars + shift bars. A request
    // left of 0 while leftpos is already 0 asks the history for half the visible bars
    // more.
    void scroll_to(int leftpos);

    // Takes the history's bars when they changed and recalculates the indicators; new
    // bars move leftpos by the auto scroll rule. True when the bars changed.
    bool update_bars();

    // Adds an indicator to window window_index (-1: a new sub-window at the end). Refused
    // (false, the indicator discarded) when its window kind doesn't fit the window, the
    // window doesn't exist, or an equal indicator is already there.
    bool add_indicator(std::unique_ptr<CInd> indicator, int window_index);
    // Removes the n-th indicator of a window (the price series not counted) with the ones
    // that take its data; a sub-window left empty goes too. False when there is no such
    // indicator.
    bool delete_indicator(int window_index, int indicator_index);
    // Applies a change of parameters, colours, levels or period flags to the n-th indicator
    // of a window (the price series not counted), then recalculates it in full, lays the
    // windows out again and writes the profile. False when there is no such indicator.
    bool edit_indicator(int window_index, int indicator_index, const std::function<void(CInd&)>& change);
    // Removes a sub-window with its indicators; the main window (0) never goes.
    bool delete_window(int window_index);

    // The view's whole drawing area changed: windows laid out again.
    void set_area(const Rect& area);
    // The view measured its price texts after a resize: the price axis becomes at least
    // minimum_width pixels wide (never narrower than the DPI's margin); windows laid out again.
    void set_price_axis_width(int minimum_width);
    // Crosshair mode on or off and the cursor position.
    void set_crosshair(bool on);
    void set_cursor(int x, int y);

    Hit hit_test(int x, int y) const;
    // The time of the bar at x (see time_at_x in chart_geometry.h).
    int32_t time_at_x(int x) const;

    // Splitter dragging: starts on the splitter below window_index (from a Splitter hit),
    // follows the pointer and ends, saving the new weights. False when nothing is dragged.
    bool begin_drag(int window_index);
    bool drag_to(int y);
    void end_drag();
    int dragged_window() const;

    // ---- chart objects ----
    // Objects belong to the first entry of their window (the price series in the main
    // window) unless the profile attached them to another indicator; they are found by
    // their counter. Pointer positions are mapped with the window's vertical scale as
    // drawn (prices) and the chart's bar axis. Every change saves the profile except
    // drag_object(), whose caller saves once the drag ends.

    // Makes an object of type at the bar and price under (x, y) in a window (price rounded
    // to the symbol's digits), with the look from the store, and attaches it. Returns its
    // counter; nothing when the type has no class, the window doesn't exist or there are
    // no bars to anchor to.
    std::optional<int32_t> place_object(ObjectType type, int window_index, int x, int y, const PriceAxis& prices,
                                        const core::SettingsStore& store, int32_t now);
    // Attaches an object made elsewhere; false (the object discarded) when the window
    // doesn't exist.
    bool add_object(int window_index, std::unique_ptr<CObj> object);
    // Removes the object; false when there is none with that counter.
    bool delete_object(int32_t counter);
    // The window holding the object, -1 when none does.
    int object_window(int32_t counter) const;
    // A copy of the object (for a properties dialog); null when none.
    std::unique_ptr<CObj> object_copy(int32_t counter) const;
    // Copies an edited copy back onto the object with its counter; false when there is
    // none of that counter and type.
    bool replace_object(const CObj& edited);
    // Counters of a window's objects in drawing order.
    std::vector<int32_t> object_counters(int window_index) const;
    // The object under (x, y) in a window among those shown on the chart's period, the
    // last drawn first; the selected one's handles count. Nothing when none is touched.
    std::optional<ObjectHit> object_at(int window_index, int x, int y, const PriceAxis& prices,
                                       std::optional<int32_t> selected) const;
    // Drags a handle of the object to the bar and price under (x, y) (drag_handle() in
    // object_editing.h). False when there is no such object or no bars.
    bool drag_object(int32_t counter, Handle handle, int x, int y, const PriceAxis& prices, Linked linked);

    // ---- queries ----
    ChartSettings settings() const;
    std::vector<market::BarRecord> bars() const;
    bool ready() const;
    int font_size() const;
    size_t window_count() const;
    int window_weight(int window_index) const;
    Rect window_rect(int window_index) const;
    // Indicators of a window, the price series not counted.
    size_t indicator_count(int window_index) const;

    // Calls f(const ChartWindow&) for each window in order under the chart's and each
    // window's lock: for drawing and for reading values. f must not call the chart.
    template <class F>
    void for_each_window(F&& f) const {
        std::lock_guard guard(lock_);
        for (const std::unique_ptr<ChartWindow>& window : windows_) {
            std::lock_guard window_guard(window->lock());
            f(*window);
        }
    }

    // Calls f(const ChartSettings&, std::span<const market::BarRecord>, const
    // std::vector<std::unique_ptr<ChartWindow>>&) under the chart's lock: painting reads
    // the frame without copying the bars. f takes each window's lock while it reads that
    // window and must not call the chart.
    template <class F>
    void paint(F&& f) const {
        std::lock_guard guard(lock_);
        f(settings_, std::span<const market::BarRecord>(bars_.bars), windows_);
    }

private:
    ChartWindow* window_locked(int window_index) const;
    void reset_windows_locked();
    ProfileLoad read_profile_locked();
    void read_window_block_locked(LineSource& lines, ChartWindow& window);
    void resolve_symbol_locked();
    void subscribe_locked();
    void release_locked();
    bool copy_bars_locked();
    void calculate_locked();
    void layout_locked();
    void update_visible_bars_locked();
    void scroll_to_newest_locked();
    std::string profile_text_locked() const;
    bool save_locked();
    ObjectView object_view_locked(const BarTimeline& timeline, const ChartWindow& window,
                                  const PriceAxis& prices) const;

    ChartEnvironment env_;
    mutable std::mutex lock_;
    ChartSettings settings_;
    market::ChartBuffer bars_;
    std::vector<std::unique_ptr<ChartWindow>> windows_;
    int dragged_ = -1;
    bool ready_ = true;
    bool loaded_ = false;
    bool subscribed_ = false;
    std::string subscribed_symbol_;
    int subscribed_period_ = 0;
    int font_size_ = 0;
};

}  // namespace kb::chart
