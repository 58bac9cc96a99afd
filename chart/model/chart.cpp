#include "chart/model/chart.h"

#include <algorithm>
#include <optional>

#include "chart/framework/indicator_block.h"
#include "chart/framework/line_io.h"
#include "chart/framework/window_calculation.h"
#include "chart/model/profile_text.h"
#include "chart/objects/object_block.h"
#include "core/fixed_text.h"
#include "core/number_format.h"
#include "platform/files.h"

namespace kb::chart {

namespace {

// A sub-window's weight at 96 DPI, scaled to the screen.
constexpr int kSubWindowWeight = 50;

}  // namespace

Chart::Chart(ChartEnvironment environment) : env_(std::move(environment)) {
    std::lock_guard guard(lock_);
    reset_windows_locked();
    font_size_ = chart_font_size(env_.metrics.dpi_x);
}

Chart::~Chart() {
    std::lock_guard guard(lock_);
    release_locked();
}

// ---- profile ----

ProfileLoad Chart::load_profile() {
    std::lock_guard guard(lock_);
    release_locked();
    reset_windows_locked();
    bars_ = market::ChartBuffer{};
    // The view's size is not the profile's: it stays.
    const Rect area = settings_.area;
    settings_ = ChartSettings{};
    const ProfileLoad result = read_profile_locked();
    settings_.area = area;
    settings_.apply_limits();
    resolve_symbol_locked();
    settings_.reset_working_fields(env_.metrics);
    font_size_ = chart_font_size(env_.metrics.dpi_x);
    update_visible_bars_locked();
    subscribe_locked();
    copy_bars_locked();
    calculate_locked();
    layout_locked();
    loaded_ = true;
    return result;
}

void Chart::reset_windows_locked() {
    windows_.clear();
    windows_.push_back(std::make_unique<ChartWindow>(ChartWindow::Role::Main, ChartWindow::kMainWeight));
    dragged_ = -1;
}

ProfileLoad Chart::read_profile_locked() {
    std::optional<std::vector<uint8_t>> bytes = platform::read_file(env_.profile_path);
    if (!bytes) {
        settings_ = ChartSettings::defaults();
        return ProfileLoad::Missing;
    }
    TextLineSource lines(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
    std::string line;
    if (!lines.next_line(line) || line != kChartOpen) return ProfileLoad::NotAProfile;
    bool main_read = false;
    while (lines.next_line(line)) {
        if (line == kChartClose) break;
        if (line == kWindowOpen) {
            if (!main_read) {
                main_read = true;
                read_window_block_locked(lines, *windows_.front());
                continue;
            }
            auto window = std::make_unique<ChartWindow>(ChartWindow::Role::Sub, env_.metrics.scale(kSubWindowWeight));
            read_window_block_locked(lines, *window);
            if (window->indicator_count() > 0) windows_.push_back(std::move(window));
            continue;
        }
        read_setting_line(line, settings_);
    }
    return ProfileLoad::Loaded;
}

void Chart::read_window_block_locked(LineSource& lines, ChartWindow& window) {
    std::lock_guard window_guard(window.lock());
    std::string line;
    while (lines.next_line(line)) {
        if (line == kWindowClose) return;
        int weight = 0;
        if (read_window_height_line(line, weight)) {
            window.set_weight(weight);
            continue;
        }
        if (line != kIndicatorBlockStart) continue;
        IndicatorBlock block = read_indicator_block(lines, env_.journal);
        if (block.kind == IndicatorBlockKind::Created) {
            window.append(std::move(block.indicator));
        } else if (block.kind == IndicatorBlockKind::PriceSeries) {
            if (CInd* series = window.price_series())
                series->load_block(lines, env_.journal);
            else
                skip_block(lines, kIndicatorBlockEnd);
        }
    }
}

void Chart::resolve_symbol_locked() {
    if (env_.market.symbol(settings_.symbol)) return;
    settings_.symbol = env_.market.first_symbol().value_or(std::string(kDefaultSymbol));
    settings_.symbol.resize(std::min<size_t>(settings_.symbol.size(), ChartSettings::kMaxSymbolLength));
}

bool Chart::save_profile() {
    std::lock_guard guard(lock_);
    return save_locked();
}

bool Chart::save_locked() {
    if (!loaded_ || env_.writes == ProfileWrites::No) return true;
    const std::string text = profile_text_locked();
    return platform::write_file_atomic(env_.profile_path,
                                       {reinterpret_cast<const uint8_t*>(text.data()), text.size()});
}

std::string Chart::profile_text() const {
    std::lock_guard guard(lock_);
    return profile_text_locked();
}

std::string Chart::profile_text_locked() const {
    std::string text = settings_text(settings_);
    StringLineSink sink(text);
    for (const std::unique_ptr<ChartWindow>& window : windows_) {
        std::lock_guard window_guard(window->lock());
        text += '\n';
        sink.write_line(kWindowOpen);
        sink.write_line("height=" + std::to_string(window->weight()));
        for (const std::unique_ptr<CInd>& entry : window->entries()) entry->save_block(sink);
        sink.write_line(kWindowClose);
    }
    sink.write_line(kChartClose);
    text += '\n';
    return text;
}

// ---- history ----

void Chart::subscribe_locked() {
    env_.market.subscribe(settings_.symbol, settings_.period);
    subscribed_ = true;
    subscribed_symbol_ = settings_.symbol;
    subscribed_period_ = settings_.period;
    if (std::optional<market::SymbolRecord> symbol = env_.market.symbol(settings_.symbol))
        settings_.digits = symbol->digits;
}

void Chart::release_locked() {
    if (!subscribed_) return;
    env_.market.release(subscribed_symbol_, subscribed_period_);
    subscribed_ = false;
}

bool Chart::copy_bars_locked() {
    if (!env_.market.copy_bars(settings_.symbol, settings_.period, bars_)) return false;
    settings_.leftpos = leftpos_after_new_bars(settings_, static_cast<int>(bars_.bars.size()));
    return true;
}

void Chart::calculate_locked() {
    BarsUpdate update;
    update.symbol = settings_.symbol;
    update.period = settings_.period;
    update.bars = bars_.bars;
    update.bar_capacity = static_cast<int>(bars_.bars.capacity());
    update.history_version = static_cast<int>(bars_.version);
    std::optional<market::SymbolRecord> symbol = env_.market.symbol(settings_.symbol);
    update.symbol_digits = symbol ? symbol->digits : -1;
    update.ask = env_.market.ask(settings_.symbol);
    update.journal = env_.journal;
    bool bars_replaced = false;
    for (const std::unique_ptr<ChartWindow>& window : windows_) {
        std::lock_guard window_guard(window->lock());
        calculate_window(window->entry_pointers(), update);
        if (PriceSeries* series = window->price_series(); series && series->objects_need_positions()) {
            bars_replaced = true;
            series->clear_objects_need_positions();
        }
    }
    // The price series saw a full recalculation: the bars the objects' positions were
    // found on are gone, in every window.
    if (!bars_replaced) return;
    for (const std::unique_ptr<ChartWindow>& window : windows_) {
        std::lock_guard window_guard(window->lock());
        window->invalidate_object_positions();
    }
}

bool Chart::update_bars() {
    std::lock_guard guard(lock_);
    if (!copy_bars_locked()) return false;
    calculate_locked();
    return true;
}

void Chart::refresh() {
    std::lock_guard guard(lock_);
    env_.market.synchronise(settings_.symbol, settings_.period);
}

// ---- settings ----

bool Chart::set_period(std::string_view symbol, int minutes) {
    std::lock_guard guard(lock_);
    if (!ready_ || !env_.market.symbol(symbol) || symbol.size() > ChartSettings::kMaxSymbolLength) return false;
    ready_ = false;
    const int distance = std::max(static_cast<int>(bars_.bars.size()) - settings_.leftpos, 0);
    release_locked();
    settings_.symbol = std::string(symbol);
    settings_.period = std::clamp(minutes, ChartSettings::kMinPeriod, ChartSettings::kMaxPeriod);
    bars_ = market::ChartBuffer{};
    update_visible_bars_locked();
    subscribe_locked();
    copy_bars_locked();
    if (!settings_.scroll) settings_.leftpos = std::max(static_cast<int>(bars_.bars.size()) - distance, 0);
    calculate_locked();
    layout_locked();
    ready_ = true;
    save_locked();
    return true;
}

void Chart::set_colour_scheme(ColourScheme scheme) {
    std::lock_guard guard(lock_);
    settings_.set_colour_scheme(scheme);
    save_locked();
}

void Chart::set_graph_mode(GraphMode mode) {
    std::lock_guard guard(lock_);
    settings_.graphmode = static_cast<int32_t>(mode);
    save_locked();
}

bool Chart::toggle(ChartFlag flag) {
    std::lock_guard guard(lock_);
    if (flag == ChartFlag::Descriptions) return false;
    int32_t& value = settings_.flag(flag);
    value = value ? 0 : 1;
    if ((flag == ChartFlag::Scroll && value) || flag == ChartFlag::Shift) scroll_to_newest_locked();
    save_locked();
    return true;
}

void Chart::scroll_to_newest_locked() {
    settings_.leftpos = newest_leftpos(settings_, static_cast<int>(bars_.bars.size()));
}

bool Chart::zoom(Zoom direction) {
    std::lock_guard guard(lock_);
    std::optional<int> scale = zoomed_scale(settings_.scale, direction);
    if (!scale) return false;
    settings_.scale = *scale;
    update_visible_bars_locked();
    settings_.leftpos = std::min(settings_.leftpos, newest_leftpos(settings_, static_cast<int>(bars_.bars.size())));
    layout_locked();
    save_locked();
    return true;
}

void Chart::scroll_to(int leftpos) {
    std::lock_guard guard(lock_);
    if (leftpos < 0 && settings_.leftpos == 0) {
        env_.market.more_history(settings_.symbol, settings_.period, static_cast<size_t>(settings_.visible_bars / 2));
        return;
    }
    const int limited = clamp_leftpos(settings_, leftpos, static_cast<int>(bars_.bars.size()));
    if (limited == settings_.leftpos) return;
    settings_.leftpos = limited;
    save_locked();
}

void Chart::update_visible_bars_locked() { settings_.visible_bars = visible_bar_count(settings_, env_.metrics.dpi_x); }

// ---- windows and indicators ----

ChartWindow* Chart::window_locked(int window_index) const {
    if (window_index < 0 || static_cast<size_t>(window_index) >= windows_.size()) return nullptr;
    return windows_[static_cast<size_t>(window_index)].get();
}

bool Chart::add_indicator(std::unique_ptr<CInd> indicator, int window_index) {
    std::lock_guard guard(lock_);
    if (!indicator) return false;
    const bool own_window = indicator->window_kind() == WindowKind::Own;
    const bool fits_sub_window = own_window || indicator->accepts_data_input();
    if (window_index == -1) {
        if (!fits_sub_window) return false;
        auto window = std::make_unique<ChartWindow>(ChartWindow::Role::Sub, env_.metrics.scale(kSubWindowWeight));
        window->append(std::move(indicator));
        windows_.push_back(std::move(window));
    } else {
        ChartWindow* window = window_locked(window_index);
        if (!window || (window->is_main() ? own_window : !fits_sub_window)) return false;
        std::lock_guard window_guard(window->lock());
        if (window->holds_equal(*indicator)) return false;
        window->append(std::move(indicator));
    }
    calculate_locked();
    layout_locked();
    save_locked();
    return true;
}

bool Chart::delete_indicator(int window_index, int indicator_index) {
    std::lock_guard guard(lock_);
    ChartWindow* window = window_locked(window_index);
    if (!window || indicator_index < 0) return false;
    bool left_empty = false;
    {
        std::lock_guard window_guard(window->lock());
        if (window->remove_indicator(static_cast<size_t>(indicator_index)) == 0) return false;
        left_empty = !window->is_main() && window->indicator_count() == 0;
    }
    if (left_empty) windows_.erase(windows_.begin() + window_index);
    dragged_ = -1;
    calculate_locked();
    layout_locked();
    save_locked();
    return true;
}

bool Chart::edit_indicator(int window_index, int indicator_index, const std::function<void(CInd&)>& change) {
    std::lock_guard guard(lock_);
    ChartWindow* window = window_locked(window_index);
    if (!window || indicator_index < 0 || !change) return false;
    {
        std::lock_guard window_guard(window->lock());
        CInd* indicator = window->indicator(static_cast<size_t>(indicator_index));
        if (!indicator) return false;
        change(*indicator);
        indicator->rebuild_label();
        indicator->reset_calculation();
    }
    calculate_locked();
    layout_locked();
    save_locked();
    return true;
}

bool Chart::delete_window(int window_index) {
    std::lock_guard guard(lock_);
    if (window_index <= 0 || !window_locked(window_index)) return false;
    windows_.erase(windows_.begin() + window_index);
    dragged_ = -1;
    layout_locked();
    save_locked();
    return true;
}

// ---- chart objects ----

ObjectView Chart::object_view_locked(const BarTimeline& timeline, const ChartWindow& window,
                                     const PriceAxis& prices) const {
    return {timeline, BarAxis::of(settings_, env_.metrics.dpi_x), prices, window.rect(), env_.metrics.dpi_x};
}

std::optional<int32_t> Chart::place_object(ObjectType type, int window_index, int x, int y, const PriceAxis& prices,
                                           const core::SettingsStore& store, int32_t now) {
    std::lock_guard guard(lock_);
    ChartWindow* window = window_locked(window_index);
    if (!window || bars_.bars.empty()) return std::nullopt;
    std::unique_ptr<CObj> object = create_object(type);
    if (!object) return std::nullopt;
    const BarTimeline timeline(bars_.bars, settings_.period);
    const ObjectView view = object_view_locked(timeline, *window, prices);
    object->place({.symbol = settings_.symbol,
                   .period = settings_.period,
                   .time = timeline.time_of(view.bars.position_at(x)),
                   .price = core::normalize(prices.price_at(y), settings_.digits),
                   .create_time = now},
                  store);
    const int32_t counter = object->counter();
    {
        std::lock_guard window_guard(window->lock());
        CInd* owner = window->object_owner();
        if (!owner) return std::nullopt;
        owner->attach_object(std::move(object));
    }
    save_locked();
    return counter;
}

bool Chart::add_object(int window_index, std::unique_ptr<CObj> object) {
    std::lock_guard guard(lock_);
    ChartWindow* window = window_locked(window_index);
    if (!window || !object) return false;
    {
        std::lock_guard window_guard(window->lock());
        CInd* owner = window->object_owner();
        if (!owner) return false;
        owner->attach_object(std::move(object));
    }
    save_locked();
    return true;
}

bool Chart::delete_object(int32_t counter) {
    std::lock_guard guard(lock_);
    bool removed = false;
    for (const std::unique_ptr<ChartWindow>& window : windows_) {
        std::lock_guard window_guard(window->lock());
        if (window->detach_object(counter)) {
            removed = true;
            break;
        }
    }
    if (removed) save_locked();
    return removed;
}

int Chart::object_window(int32_t counter) const {
    std::lock_guard guard(lock_);
    for (size_t i = 0; i < windows_.size(); ++i) {
        std::lock_guard window_guard(windows_[i]->lock());
        if (windows_[i]->find_object(counter)) return static_cast<int>(i);
    }
    return -1;
}

std::unique_ptr<CObj> Chart::object_copy(int32_t counter) const {
    std::lock_guard guard(lock_);
    for (const std::unique_ptr<ChartWindow>& window : windows_) {
        std::lock_guard window_guard(window->lock());
        if (const CObj* object = window->find_object(counter)) return object->clone();
    }
    return nullptr;
}

bool Chart::replace_object(const CObj& edited) {
    std::lock_guard guard(lock_);
    bool replaced = false;
    for (const std::unique_ptr<ChartWindow>& window : windows_) {
        std::lock_guard window_guard(window->lock());
        if (CObj* object = window->find_object(edited.counter())) {
            replaced = object->copy_from(edited);
            break;
        }
    }
    if (replaced) save_locked();
    return replaced;
}

std::vector<int32_t> Chart::object_counters(int window_index) const {
    std::lock_guard guard(lock_);
    std::vector<int32_t> counters;
    const ChartWindow* window = window_locked(window_index);
    if (!window) return counters;
    std::lock_guard window_guard(window->lock());
    for (const CObj* object : window->objects()) counters.push_back(object->counter());
    return counters;
}

std::optional<ObjectHit> Chart::object_at(int window_index, int x, int y, const PriceAxis& prices,
                                          std::optional<int32_t> selected) const {
    std::lock_guard guard(lock_);
    const ChartWindow* window = window_locked(window_index);
    if (!window) return std::nullopt;
    std::lock_guard window_guard(window->lock());
    const BarTimeline timeline(bars_.bars, settings_.period);
    const ObjectView view = object_view_locked(timeline, *window, prices);
    const std::vector<CObj*> objects = window->objects();
    for (auto it = objects.rbegin(); it != objects.rend(); ++it) {
        const CObj& object = **it;
        if (!object.visible_on(settings_.period)) continue;
        const Selected is_selected = selected == object.counter() ? Selected::Yes : Selected::No;
        if (std::optional<Handle> handle = hit_object(object, view, x, y, is_selected))
            return ObjectHit{object.counter(), *handle};
    }
    return std::nullopt;
}

bool Chart::drag_object(int32_t counter, Handle handle, int x, int y, const PriceAxis& prices, Linked linked) {
    std::lock_guard guard(lock_);
    const BarTimeline timeline(bars_.bars, settings_.period);
    for (const std::unique_ptr<ChartWindow>& window : windows_) {
        std::lock_guard window_guard(window->lock());
        CObj* object = window->find_object(counter);
        if (!object) continue;
        const ObjectView view = object_view_locked(timeline, *window, prices);
        const BarPoint target{view.bars.position_at(x), prices.price_at(y)};
        return drag_handle(*object, timeline, handle, target, linked, settings_.digits);
    }
    return false;
}

// ---- layout ----

void Chart::layout_locked() {
    std::vector<WindowWeight> weights;
    for (const std::unique_ptr<ChartWindow>& window : windows_) {
        std::lock_guard window_guard(window->lock());
        weights.push_back({window->weight(), window->shown_on(settings_.period)});
    }
    const std::vector<Rect> rects = layout_windows(drawing_rect(settings_), weights, env_.metrics.dpi_y);
    for (size_t i = 0; i < windows_.size(); ++i) windows_[i]->set_rect(rects[i]);
}

void Chart::set_area(const Rect& area) {
    std::lock_guard guard(lock_);
    settings_.area = area;
    update_visible_bars_locked();
    layout_locked();
}

void Chart::set_price_axis_width(int minimum_width) {
    std::lock_guard guard(lock_);
    settings_.margins.right = std::max(chart_margins(env_.metrics.dpi_x).right, minimum_width);
    update_visible_bars_locked();
    layout_locked();
}

void Chart::set_crosshair(bool on) {
    std::lock_guard guard(lock_);
    settings_.crosshair = on ? 1 : 0;
}

void Chart::set_cursor(int x, int y) {
    std::lock_guard guard(lock_);
    settings_.cursor_x = x;
    settings_.cursor_y = y;
}

Hit Chart::hit_test(int x, int y) const {
    std::lock_guard guard(lock_);
    std::vector<Rect> rects;
    std::vector<WindowWeight> weights;
    for (const std::unique_ptr<ChartWindow>& window : windows_) {
        std::lock_guard window_guard(window->lock());
        rects.push_back(window->rect());
        weights.push_back({window->weight(), window->shown_on(settings_.period)});
    }
    return chart::hit_test(settings_, rects, weights, env_.metrics.dpi_y, x, y);
}

int32_t Chart::time_at_x(int x) const {
    std::lock_guard guard(lock_);
    return chart::time_at_x(settings_, env_.metrics.dpi_x, bars_.bars, x);
}

bool Chart::begin_drag(int window_index) {
    std::lock_guard guard(lock_);
    if (!window_locked(window_index) || static_cast<size_t>(window_index) + 1 >= windows_.size()) return false;
    dragged_ = window_index;
    return true;
}

bool Chart::drag_to(int y) {
    std::lock_guard guard(lock_);
    ChartWindow* above = window_locked(dragged_);
    if (!above) return false;
    // The splitter sits between the dragged window and the next one that is shown.
    ChartWindow* below = nullptr;
    for (size_t i = static_cast<size_t>(dragged_) + 1; i < windows_.size() && !below; ++i)
        if (windows_[i]->rect().height() > 0) below = windows_[i].get();
    if (!below) return false;
    std::optional<int> weight = dragged_weight(above->rect(), above->weight(), below->rect(), below->weight(), y);
    if (!weight) return false;
    below->set_weight(below->weight() - (*weight - above->weight()));
    above->set_weight(*weight);
    layout_locked();
    return true;
}

void Chart::end_drag() {
    std::lock_guard guard(lock_);
    if (dragged_ < 0) return;
    dragged_ = -1;
    save_locked();
}

int Chart::dragged_window() const {
    std::lock_guard guard(lock_);
    return dragged_;
}

// ---- queries ----

ChartSettings Chart::settings() const {
    std::lock_guard guard(lock_);
    return settings_;
}

std::vector<market::BarRecord> Chart::bars() const {
    std::lock_guard guard(lock_);
    return bars_.bars;
}

bool Chart::ready() const {
    std::lock_guard guard(lock_);
    return ready_;
}

int Chart::font_size() const {
    std::lock_guard guard(lock_);
    return font_size_;
}

size_t Chart::window_count() const {
    std::lock_guard guard(lock_);
    return windows_.size();
}

int Chart::window_weight(int window_index) const {
    std::lock_guard guard(lock_);
    const ChartWindow* window = window_locked(window_index);
    return window ? window->weight() : 0;
}

Rect Chart::window_rect(int window_index) const {
    std::lock_guard guard(lock_);
    const ChartWindow* window = window_locked(window_index);
    return window ? window->rect() : Rect{};
}

size_t Chart::indicator_count(int window_index) const {
    std::lock_guard guard(lock_);
    const ChartWindow* window = window_locked(window_index);
    if (!window) return 0;
    std::lock_guard window_guard(window->lock());
    return window->indicator_count();
}

}  // namespace kb::chart
