#include "chart/model/chart_window.h"

#include <algorithm>

#include "chart/framework/price_series.h"

namespace kb::chart {

namespace {

bool takes(const CInd& indicator, ind::AppliedPrice source) {
    return indicator.accepts_data_input() && indicator.apply() == source;
}

}  // namespace

ChartWindow::ChartWindow(Role role, int weight) : role_(role), weight_(weight) {
    if (is_main()) entries_.push_back(std::make_unique<PriceSeries>());
}

std::vector<CInd*> ChartWindow::entry_pointers() const {
    std::vector<CInd*> pointers;
    pointers.reserve(entries_.size());
    for (const std::unique_ptr<CInd>& entry : entries_) pointers.push_back(entry.get());
    return pointers;
}

PriceSeries* ChartWindow::price_series() const {
    // The constructor puts the price series first in the main window, and nothing removes it.
    return is_main() ? static_cast<PriceSeries*>(entries_.front().get()) : nullptr;
}

CInd* ChartWindow::indicator(size_t n) const {
    return n < indicator_count() ? entries_[first_indicator() + n].get() : nullptr;
}

bool ChartWindow::holds_equal(const CInd& indicator) const {
    return std::any_of(entries_.begin() + static_cast<std::ptrdiff_t>(first_indicator()), entries_.end(),
                       [&](const std::unique_ptr<CInd>& entry) { return entry->equals(indicator); });
}

size_t ChartWindow::remove_indicator(size_t n) {
    if (n >= indicator_count()) return 0;
    const size_t position = first_indicator() + n;
    size_t end = position + 1;
    while (end < entries_.size() && takes(*entries_[end], ind::kPricePreviousIndicator)) ++end;
    const size_t before = entries_.size();
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(position),
                   entries_.begin() + static_cast<std::ptrdiff_t>(end));
    if (n == 0) {
        const auto from = entries_.begin() + static_cast<std::ptrdiff_t>(first_indicator());
        entries_.erase(std::remove_if(from, entries_.end(),
                                      [](const std::unique_ptr<CInd>& entry) {
                                          return takes(*entry, ind::kPriceFirstIndicator);
                                      }),
                       entries_.end());
    }
    return before - entries_.size();
}

bool ChartWindow::shown_on(int period) const {
    if (is_main()) return true;
    return std::any_of(entries_.begin(), entries_.end(),
                       [period](const std::unique_ptr<CInd>& entry) { return entry->visible_on(period); });
}

std::vector<CObj*> ChartWindow::objects() const {
    std::vector<CObj*> objects;
    for (const std::unique_ptr<CInd>& entry : entries_)
        for (const std::unique_ptr<CObj>& object : entry->objects()) objects.push_back(object.get());
    return objects;
}

CObj* ChartWindow::find_object(int32_t counter) const {
    for (const std::unique_ptr<CInd>& entry : entries_)
        if (CObj* object = entry->find_object(counter)) return object;
    return nullptr;
}

std::unique_ptr<CObj> ChartWindow::detach_object(int32_t counter) {
    for (const std::unique_ptr<CInd>& entry : entries_)
        if (std::unique_ptr<CObj> object = entry->detach_object(counter)) return object;
    return nullptr;
}

void ChartWindow::invalidate_object_positions() {
    for (const std::unique_ptr<CInd>& entry : entries_) entry->invalidate_object_positions();
}

}  // namespace kb::chart
