#pragma once
#include <QImage>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "chart/model/chart.h"
#include "chart/render/chart_renderer.h"
#include "core/notifications.h"
#include "core/terminal.h"
#include "ui/painter/qpainter_canvas.h"

class QMenu;

namespace kb::chart {
class IndicatorCatalogue;
}

namespace kb::ui {

class ChartObjectTool;
class IndicatorDialog;

// Tab "Chart": the chart of one symbol and period over the terminal's history centre,
// painted by the chart renderer through the QPainter canvas. Its menu changes symbol (among
// those shown in Market Watch), period, zoom, graph mode, colour scheme and display flags,
// adds indicators from the catalogue's list through the indicator dialog, edits and
// deletes them; dragging scrolls (past the oldest bar the history is asked for
// more), dragging a splitter resizes windows, the keys scroll and zoom, and in crosshair
// mode the pointer moves the cursor. Chart objects are drawn, selected, moved, deleted and
// edited with the pointer, keys and menu through its ChartObjectTool. The chart writes its profile
// ("<program folder>/profiles/chart.ini") after every change.
// The chart exists once the symbols base and history centre do (the first recompute after
// start); until then the view paints its background only.
// User-interface thread only; the terminal must outlive the view.
class ChartView : public QWidget {
    Q_OBJECT
public:
    explicit ChartView(core::Terminal& terminal, QWidget* parent = nullptr);
    ~ChartView() override;

    // The list the indicator menu offers, ordered by use; without one the names are
    // offered alphabetically. Not owned.
    void set_indicator_catalogue(chart::IndicatorCatalogue* catalogue) { catalogue_ = catalogue; }

    // Creates the chart when it doesn't exist yet and its services do; otherwise takes the
    // history's bars again (ChartHistory, LoggedIn, Reconnect). Repaints.
    void recompute_active_chart();
    // Codes the chart handles itself: Quotes and ChartHistory take new bars and repaint when
    // they changed.
    void forward(core::Notification code, intptr_t value);
    // Shows the symbol of an open order or of one in the account history (ShowOrderChart);
    // false when the order or its symbol is unknown.
    bool show_order_symbol(intptr_t ticket);
    // Shows a symbol in the current period (the Market Watch's "Chart Window").
    bool open_symbol(const std::string& symbol);
    // Repaints without recomputing (code 25).
    void invalidate();

    // ---- commands of the menu ----
    bool set_period(int minutes);
    bool zoom(chart::Zoom direction);
    void scroll_bars(int bars);   // positive: to newer bars
    void set_crosshair(bool on);
    // Opens the properties dialog for a new indicator of the catalogue, filled with the
    // user's stored defaults, without blocking; when accepted it is added (main window or a
    // new sub-window by its kind) and counts as used in the catalogue. Null for a name
    // outside the catalogue.
    IndicatorDialog* open_new_indicator_dialog(const std::string& name);
    bool delete_indicator(int window_index, int indicator_index);
    // Opens the properties of an indicator without blocking; it applies them when accepted
    // and deletes itself when closed. Null when there is no such indicator.
    IndicatorDialog* open_indicator_dialog(int window_index, int indicator_index);
    void refresh();

    chart::Chart* chart() const { return chart_.get(); }
    ChartObjectTool& objects() const { return *objects_; }
    // The menu as the context menu shows it (caller owns it).
    QMenu* build_menu(QWidget* parent);
    // The current frame drawn into an image of the view's size.
    QImage picture();
    int recompute_count() const { return recomputes_; }
    // Codes 2 and 8 handed to the chart so far.
    int forward_count() const { return forwards_; }
    int bar_updates() const { return bar_updates_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    bool create_chart();
    void apply_area();
    void paint_on(QPainter& painter);
    chart::RenderOptions render_options() const;
    std::vector<std::string> indicator_names() const;
    // The symbols shown in Market Watch, in its order.
    std::vector<std::string> symbol_names() const;

    core::Terminal& terminal_;
    chart::IndicatorCatalogue* catalogue_ = nullptr;
    std::unique_ptr<chart::ChartMarket> market_;
    std::unique_ptr<chart::Chart> chart_;
    QtFontFamilies families_;
    TextCache texts_;
    chart::PenCollector pens_;
    chart::ChartRenderer renderer_;
    ChartObjectTool* objects_ = nullptr;   // a child of the view
    // Scrolling by dragging: where the drag started and the leftpos then.
    bool scrolling_ = false;
    int drag_x_ = 0;
    int drag_leftpos_ = 0;
    int drag_requested_ = 0;
    int recomputes_ = 0;
    int forwards_ = 0;
    int bar_updates_ = 0;
};

}  // namespace kb::ui
