#include "ui/chart_object_tool.h"

#include <QMenu>
#include <QWidget>

#include "chart/render/chart_renderer.h"
#include "core/time_text.h"
#include "ui/object_dialog.h"

namespace kb::ui {

namespace {

struct KindEntry {
    chart::ObjectType kind;
    const char* text;
};
constexpr KindEntry kKinds[] = {
    {chart::ObjectType::VerticalLine, "Vertical Line"},
    {chart::ObjectType::HorizontalLine, "Horizontal Line"},
    {chart::ObjectType::Trendline, "Trendline"},
    {chart::ObjectType::Fibo, "Fibonacci Retracement"},
};

bool two_anchors(chart::ObjectType kind) {
    return kind == chart::ObjectType::Trendline || kind == chart::ObjectType::Fibo;
}

}  // namespace

ChartObjectTool::ChartObjectTool(QWidget& view, core::SettingsStore& store, platform::Clock& clock)
    : QObject(&view), view_(view), store_(store), clock_(clock) {}

int ChartObjectTool::window_at(const chart::Chart& chart, QPoint at) {
    const chart::Hit hit = chart.hit_test(at.x(), at.y());
    return hit.code == chart::HitCode::Window ? hit.window : -1;
}

bool ChartObjectTool::start_drawing(chart::Chart& chart, chart::ObjectType kind, QPoint at) {
    kind_.reset();
    const int window = window_at(chart, at);
    const std::optional<chart::PriceAxis> prices = chart::object_price_axis(chart, window);
    if (!prices) return true;   // no scale to anchor to: nothing drawn
    const auto now = static_cast<int32_t>(core::local_seconds(clock_));
    const std::optional<int32_t> counter = chart.place_object(kind, window, at.x(), at.y(), *prices, store_, now);
    if (!counter) return true;
    selected_ = counter;
    const chart::Handle handle = two_anchors(kind) ? chart::Handle::Second : chart::Handle::Middle;
    drag_ = Drag{*counter, handle, window, at, true, false};
    view_.update();
    return true;
}

bool ChartObjectTool::press(chart::Chart& chart, QPoint at) {
    drag_.reset();
    if (kind_) return start_drawing(chart, *kind_, at);
    if (chart.settings().crosshair) return false;
    const int window = window_at(chart, at);
    const std::optional<chart::PriceAxis> prices = chart::object_price_axis(chart, window);
    std::optional<chart::ObjectHit> hit;
    if (prices) hit = chart.object_at(window, at.x(), at.y(), *prices, selected_);
    const bool had_selection = selected_.has_value();
    if (!hit) {
        selected_.reset();
        if (had_selection) view_.update();
        return false;
    }
    selected_ = hit->counter;
    drag_ = Drag{hit->counter, hit->handle, window, at, false, false};
    view_.update();
    return true;
}

bool ChartObjectTool::move(chart::Chart& chart, QPoint at, chart::Linked linked) {
    if (!drag_) return false;
    if (at == drag_->start && !drag_->moved) return true;
    const std::optional<chart::PriceAxis> prices = chart::object_price_axis(chart, drag_->window);
    if (prices && chart.drag_object(drag_->counter, drag_->handle, at.x(), at.y(), *prices, linked)) {
        drag_->moved = true;
        view_.update();
    }
    return true;
}

bool ChartObjectTool::release(chart::Chart& chart, QPoint at, chart::Linked linked) {
    if (!drag_) return false;
    move(chart, at, linked);
    const Drag drag = *drag_;
    drag_.reset();
    if (drag.drawing) {
        const std::unique_ptr<chart::CObj> drawn = chart.object_copy(drag.counter);
        if (drawn && drawn->anchor_count() == 2 && drawn->time(0) == drawn->time(1) &&
            drawn->value(0) == drawn->value(1)) {
            chart.delete_object(drag.counter);
            selected_.reset();
            view_.update();
            return true;
        }
    }
    if (drag.moved) chart.save_profile();
    return true;
}

bool ChartObjectTool::double_click(chart::Chart& chart, QPoint at) {
    if (kind_ || chart.settings().crosshair) return false;
    const int window = window_at(chart, at);
    const std::optional<chart::PriceAxis> prices = chart::object_price_axis(chart, window);
    if (!prices) return false;
    const std::optional<chart::ObjectHit> hit = chart.object_at(window, at.x(), at.y(), *prices, selected_);
    if (!hit) return false;
    selected_ = hit->counter;
    return open_properties(chart, hit->counter) != nullptr;
}

bool ChartObjectTool::delete_selected(chart::Chart& chart) {
    if (!selected_) return false;
    const bool deleted = chart.delete_object(*selected_);
    selected_.reset();
    drag_.reset();
    view_.update();
    return deleted;
}

ObjectDialog* ChartObjectTool::open_properties(chart::Chart& chart, int32_t counter) {
    ObjectDialog* dialog = ObjectDialog::open_for(chart, counter, store_, &view_);
    if (!dialog) return nullptr;
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, &view_, [this] { view_.update(); });
    dialog->open();
    return dialog;
}

void ChartObjectTool::add_menu(QMenu& menu, chart::Chart& chart) {
    QMenu* objects = menu.addMenu("Objects");
    for (const KindEntry& entry : kKinds) {
        QAction* action = objects->addAction(entry.text);
        action->setCheckable(true);
        action->setChecked(kind_ == entry.kind);
        const chart::ObjectType kind = entry.kind;
        connect(action, &QAction::triggered, this, [this, kind](bool on) {
            if (on) choose(kind);
            else choose(std::nullopt);
        });
    }
    objects->addSeparator();
    const bool has_selection = selected_ && chart.object_window(*selected_) >= 0;
    QAction* remove = objects->addAction("Delete Object");
    remove->setEnabled(has_selection);
    connect(remove, &QAction::triggered, this, [this, &chart] { delete_selected(chart); });
    QAction* properties = objects->addAction("Object Properties...");
    properties->setEnabled(has_selection);
    connect(properties, &QAction::triggered, this, [this, &chart] {
        if (selected_) open_properties(chart, *selected_);
    });
}

}  // namespace kb::ui
