#pragma once
#include <QObject>
#include <QPoint>
#include <cstdint>
#include <optional>

#include "chart/model/chart.h"

class QMenu;
class QWidget;

namespace kb::core {
class SettingsStore;
}
namespace kb::platform {
class Clock;
}

namespace kb::ui {

class ObjectDialog;

// The chart objects under the pointer in the Chart tab. A kind chosen from the menu is
// drawn by the next press: the object is placed at the bar and price under the pointer and
// dragging stretches its second anchor (moves a one-anchor line) until the release. Without
// a kind a press selects the object under the pointer (or clears the selection), and
// dragging moves the touched handle: an anchor, or the middle to shift the whole object;
// an anchor dragged linked (Shift held in the view) takes the other anchor along.
// The Delete key removes the selected object; a double click opens its properties. The
// profile is written after every change: when an object is placed, at the end of a drag
// that moved something, on deletion and on applied properties. A drawn trendline or
// Fibonacci retracement released where it started is removed again (it has no length).
// Presses in crosshair mode are the crosshair's, unless a kind is chosen.
// User-interface thread only; the view, store and clock must outlive the tool.
class ChartObjectTool : public QObject {
    Q_OBJECT
public:
    ChartObjectTool(QWidget& view, core::SettingsStore& store, platform::Clock& clock);

    // The kind the next press draws; nothing: presses select.
    void choose(std::optional<chart::ObjectType> kind) { kind_ = kind; }
    std::optional<chart::ObjectType> chosen() const { return kind_; }
    std::optional<int32_t> selected() const { return selected_; }

    // Pointer events; true when the tool used the event (the view does nothing more with it).
    bool press(chart::Chart& chart, QPoint at);
    bool move(chart::Chart& chart, QPoint at, chart::Linked linked);
    bool release(chart::Chart& chart, QPoint at, chart::Linked linked);
    bool double_click(chart::Chart& chart, QPoint at);

    // Removes the selected object; false when none is selected or it is gone.
    bool delete_selected(chart::Chart& chart);
    // Opens the properties of an object without blocking (deleted when closed); null when
    // the chart has no such object.
    ObjectDialog* open_properties(chart::Chart& chart, int32_t counter);
    // The "Objects" menu: the kinds to draw, deleting and the properties of the selection.
    void add_menu(QMenu& menu, chart::Chart& chart);

private:
    // A press that is still held: the object and handle it drags in its window.
    struct Drag {
        int32_t counter = 0;
        chart::Handle handle = chart::Handle::Middle;
        int window = 0;
        QPoint start;
        bool drawing = false;
        bool moved = false;
    };

    // The window under the pointer, -1 outside the windows.
    static int window_at(const chart::Chart& chart, QPoint at);
    bool start_drawing(chart::Chart& chart, chart::ObjectType kind, QPoint at);

    QWidget& view_;
    core::SettingsStore& store_;
    platform::Clock& clock_;
    std::optional<chart::ObjectType> kind_;
    std::optional<int32_t> selected_;
    std::optional<Drag> drag_;
};

}  // namespace kb::ui
