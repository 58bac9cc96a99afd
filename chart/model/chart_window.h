#pragma once
#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

#include "chart/framework/indicator.h"
#include "chart/framework/price_series.h"
#include "chart/model/chart_settings.h"

namespace kb::chart {

// One window of a chart: the main window (the price series "main" first, then the
// indicators drawn over the prices) or a sub-window below it holding indicators only.
// Its weight decides its share of the chart's height. The chart owns its windows and
// touches a window's indicators under the window's lock, taken after the chart's.
class ChartWindow {
public:
    static constexpr int kMainWeight = 100;

    enum class Role { Main, Sub };

    ChartWindow(Role role, int weight);
    ChartWindow(const ChartWindow&) = delete;
    ChartWindow& operator=(const ChartWindow&) = delete;

    bool is_main() const { return role_ == Role::Main; }
    std::mutex& lock() const { return lock_; }

    int weight() const { return weight_; }
    void set_weight(int weight) { weight_ = weight; }
    const Rect& rect() const { return rect_; }
    void set_rect(const Rect& rect) { rect_ = rect; }

    // Every entry, the price series first in the main window.
    const std::vector<std::unique_ptr<CInd>>& entries() const { return entries_; }
    std::vector<CInd*> entry_pointers() const;
    // The price series of the main window; null in a sub-window.
    PriceSeries* price_series() const;

    // Indicators other than the price series.
    size_t indicator_count() const { return entries_.size() - first_indicator(); }
    // The n-th of them; null past the end.
    CInd* indicator(size_t n) const;
    void append(std::unique_ptr<CInd> indicator) { entries_.push_back(std::move(indicator)); }
    // True when an equal indicator is already here.
    bool holds_equal(const CInd& indicator) const;
    // Removes the n-th indicator with the run after it that takes the previous indicator's
    // data; when it was the first, also every indicator that takes the first indicator's
    // data. Returns how many were removed (0 for n past the end).
    size_t remove_indicator(size_t n);

    // Whether anything here shows on the period (the main window always does).
    bool shown_on(int period) const;

    // ---- chart objects ----
    // The entry that new objects of the window are attached to: the price series in the
    // main window, the first indicator in a sub-window; null in an empty window.
    CInd* object_owner() const { return entries_.empty() ? nullptr : entries_.front().get(); }
    // Every object of every entry, in list order (the order of drawing).
    std::vector<CObj*> objects() const;
    // The first object with that counter; null when none.
    CObj* find_object(int32_t counter) const;
    // Removes the first object with that counter and hands it over; null when none.
    std::unique_ptr<CObj> detach_object(int32_t counter);
    // Forgets the cached bar positions of every object.
    void invalidate_object_positions();

private:
    size_t first_indicator() const { return is_main() ? 1 : 0; }

    Role role_;
    int weight_;
    Rect rect_;
    std::vector<std::unique_ptr<CInd>> entries_;
    mutable std::mutex lock_;
};

}  // namespace kb::chart
