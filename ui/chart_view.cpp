#include "ui/chart_view.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <limits>

#include "chart/catalogue/indicator_catalogue.h"
#include "chart/catalogue/indicator_factory.h"
#include "chart/framework/period_flags.h"
#include "chart/model/chart_geometry.h"
#include "core/fixed_text.h"
#include "core/notifications.h"
#include "core/period_names.h"
#include "core/time_text.h"
#include "market/history_center.h"
#include "market/symbols_base.h"
#include "trade/trade_base.h"
#include "ui/chart_object_tool.h"
#include "ui/indicator_dialog.h"

namespace kb::ui {

namespace {

struct FlagEntry {
    chart::ChartFlag flag;
    const char* text;
};
constexpr FlagEntry kFlagEntries[] = {
    {chart::ChartFlag::Grid, "Grid"},
    {chart::ChartFlag::Volumes, "Volumes"},
    {chart::ChartFlag::Days, "Period Separators"},
    {chart::ChartFlag::AskLine, "Ask Line"},
    {chart::ChartFlag::Ohlc, "OHLC"},
    {chart::ChartFlag::TradeLevels, "Trade Levels"},
    {chart::ChartFlag::Foreground, "Chart on foreground"},
    {chart::ChartFlag::Scroll, "Auto Scroll"},
    {chart::ChartFlag::Shift, "Chart Shift"},
};

std::string chart_profile_path(const core::Terminal& terminal) {
    return terminal.program_folder() + "/profiles/chart.ini";
}

int dpi_or_default(int dpi) { return dpi > 0 ? dpi : 96; }

// Shift drags an object's anchor with the other one along.
chart::Linked linked_by(const QMouseEvent& event) {
    return event.modifiers() & Qt::ShiftModifier ? chart::Linked::Yes : chart::Linked::No;
}

}  // namespace

ChartView::ChartView(core::Terminal& terminal, QWidget* parent)
    : QWidget(parent),
      terminal_(terminal),
      pens_(families_, terminal.clock(), &terminal.journal(), dpi_or_default(terminal.display_metrics().dpi_y)),
      renderer_(pens_),
      objects_(new ChartObjectTool(*this, terminal.settings(), terminal.clock())) {
    setObjectName("chart");
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
    create_chart();
}

ChartView::~ChartView() = default;

bool ChartView::create_chart() {
    if (chart_) return true;
    core::Services& services = terminal_.services();
    if (!services.symbols_base || !services.history_center) return false;
    market_ = std::make_unique<chart::TerminalChartMarket>(*services.symbols_base, *services.history_center);
    core::DisplayMetrics metrics = terminal_.display_metrics();
    metrics.dpi_x = dpi_or_default(metrics.dpi_x);
    metrics.dpi_y = dpi_or_default(metrics.dpi_y);
    chart_ = std::make_unique<chart::Chart>(
        chart::ChartEnvironment{chart_profile_path(terminal_), *market_, metrics, &terminal_.journal()});
    chart_->load_profile();
    apply_area();
    return true;
}

void ChartView::apply_area() {
    if (!chart_) return;
    chart_->set_area({0, 0, width(), height()});
    QImage probe(1, 1, QImage::Format_RGB32);
    QPainter painter(&probe);
    QPainterCanvas canvas(painter);
    chart_->set_price_axis_width(renderer_.price_axis_width(*chart_, canvas, render_options()));
    // The bars in view follow the new width: the newest with auto scroll, else within limits.
    const chart::ChartSettings settings = chart_->settings();
    chart_->scroll_to(settings.scroll ? std::numeric_limits<int>::max() : settings.leftpos);
}

chart::RenderOptions ChartView::render_options() const {
    chart::RenderOptions options;
    options.dpi_x = dpi_or_default(terminal_.display_metrics().dpi_x);
    options.dpi_y = dpi_or_default(terminal_.display_metrics().dpi_y);
    options.selected_object = objects_->selected();
    trade::TradeBase* trades = terminal_.services().trade_base.get();
    if (!chart_ || !trades) return options;
    const std::string symbol = chart_->settings().symbol;
    for (const trade::TradeRecord& record : trades->open_trades()) {
        if (core::field_text(record.symbol) != symbol) continue;
        options.trade_levels.push_back({record.ticket, std::string(core::trade_type_name(record.type)),
                                        record.open_price, record.stop_loss, record.take_profit});
    }
    return options;
}

void ChartView::recompute_active_chart() {
    ++recomputes_;
    if (!chart_) create_chart();
    else if (chart_->update_bars()) ++bar_updates_;
    update();
}

void ChartView::forward(core::Notification code, intptr_t) {
    if (code != core::Notification::Quotes && code != core::Notification::ChartHistory) return;
    ++forwards_;
    if (!chart_) return;
    if (chart_->update_bars()) {
        ++bar_updates_;
        update();
    } else if (code == core::Notification::Quotes) {
        update();   // the bid and ask lines move with the quotes
    }
}

bool ChartView::show_order_symbol(intptr_t ticket) {
    trade::TradeBase* trades = terminal_.services().trade_base.get();
    if (!trades) return false;
    const int32_t wanted = static_cast<int32_t>(ticket);
    std::optional<trade::TradeRecord> order = trades->open_trade_by_ticket(wanted);
    if (!order) {
        // The account history's orders are closed ones.
        for (const trade::TradeRecord& record : trades->history())
            if (record.ticket == wanted) order = record;
    }
    if (!order) return false;
    return open_symbol(std::string(core::field_text(order->symbol)));
}

bool ChartView::open_symbol(const std::string& symbol) {
    if (!chart_ && !create_chart()) return false;
    const bool changed = chart_->set_period(symbol, chart_->settings().period);
    apply_area();
    update();
    return changed;
}

void ChartView::invalidate() { update(); }

bool ChartView::set_period(int minutes) {
    if (!chart_) return false;
    const bool changed = chart_->set_period(chart_->settings().symbol, minutes);
    apply_area();
    update();
    return changed;
}

bool ChartView::zoom(chart::Zoom direction) {
    if (!chart_) return false;
    const bool zoomed = chart_->zoom(direction);
    update();
    return zoomed;
}

void ChartView::scroll_bars(int bars) {
    if (!chart_) return;
    chart_->scroll_to(chart_->settings().leftpos + bars);
    update();
}

void ChartView::set_crosshair(bool on) {
    if (!chart_) return;
    chart_->set_crosshair(on);
    if (on) {
        const chart::Rect drawing = chart::drawing_rect(chart_->settings());
        chart_->set_cursor((drawing.left + drawing.right) / 2, (drawing.top + drawing.bottom) / 2);
    }
    update();
}

IndicatorDialog* ChartView::open_new_indicator_dialog(const std::string& name) {
    if (!chart_) return nullptr;
    std::unique_ptr<chart::CInd> indicator = chart::create_indicator(name);
    if (!indicator) return nullptr;
    indicator->load_defaults(terminal_.settings());
    auto* dialog = new IndicatorDialog(*chart_, *indicator, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, name] {
        if (catalogue_) catalogue_->note_use(name, core::local_seconds(terminal_.clock()));
        apply_area();
        update();
    });
    dialog->open();
    return dialog;
}

bool ChartView::delete_indicator(int window_index, int indicator_index) {
    if (!chart_ || !chart_->delete_indicator(window_index, indicator_index)) return false;
    apply_area();
    update();
    return true;
}

IndicatorDialog* ChartView::open_indicator_dialog(int window_index, int indicator_index) {
    if (!chart_) return nullptr;
    IndicatorDialog* dialog = IndicatorDialog::for_indicator(*chart_, window_index, indicator_index, this);
    if (!dialog) return nullptr;
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this] {
        apply_area();
        update();
    });
    dialog->open();
    return dialog;
}

void ChartView::refresh() {
    if (!chart_) return;
    chart_->refresh();
    update();
}

std::vector<std::string> ChartView::indicator_names() const {
    std::vector<std::string> names;
    if (catalogue_) {
        for (const chart::IndicatorUse& use : catalogue_->entries()) names.push_back(use.name);
        return names;
    }
    for (std::string_view name : chart::catalogue_names()) names.emplace_back(name);
    return names;
}

std::vector<std::string> ChartView::symbol_names() const {
    std::vector<std::string> names;
    const market::SymbolsBase* symbols = terminal_.services().symbols_base.get();
    if (!symbols) return names;
    for (size_t i = 0, count = symbols->selected_count(); i < count; ++i)
        if (std::optional<market::SelectedSymbol> entry = symbols->selected_at(i); entry && entry->shown)
            names.emplace_back(core::field_text(entry->name));
    return names;
}

QMenu* ChartView::build_menu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    if (!chart_) {
        menu->addAction("Refresh")->setEnabled(false);
        return menu;
    }
    const chart::ChartSettings settings = chart_->settings();

    QMenu* periods = menu->addMenu("Periodicity");
    for (const chart::Timeframe& timeframe : chart::kTimeframes) {
        const int minutes = timeframe.minutes;
        QAction* action = periods->addAction(QString::fromUtf8(timeframe.command.data(), static_cast<int>(timeframe.command.size())));
        action->setCheckable(true);
        action->setChecked(settings.period == minutes);
        connect(action, &QAction::triggered, this, [this, minutes] { set_period(minutes); });
    }

    QMenu* symbols = menu->addMenu("Symbol");
    for (const std::string& name : symbol_names()) {
        QAction* action = symbols->addAction(QString::fromStdString(name));
        action->setCheckable(true);
        action->setChecked(settings.symbol == name);
        connect(action, &QAction::triggered, this, [this, name] { open_symbol(name); });
    }
    symbols->setEnabled(!symbols->isEmpty());

    QMenu* indicators = menu->addMenu("Indicators");
    for (const std::string& name : indicator_names())
        connect(indicators->addAction(QString::fromStdString(name)), &QAction::triggered, this,
                [this, name] { open_new_indicator_dialog(name); });
    QMenu* remove = menu->addMenu("Delete Indicator");
    std::vector<std::pair<std::pair<int, int>, std::string>> entries;
    int window_index = 0;
    chart_->for_each_window([&](const chart::ChartWindow& window) {
        for (size_t i = 0; i < window.indicator_count(); ++i)
            entries.push_back({{window_index, static_cast<int>(i)}, window.indicator(i)->label()});
        ++window_index;
    });
    QMenu* properties = menu->addMenu("Indicator Properties");
    for (const auto& [where, label] : entries) {
        connect(remove->addAction(QString::fromStdString(label)), &QAction::triggered, this,
                [this, where] { delete_indicator(where.first, where.second); });
        connect(properties->addAction(QString::fromStdString(label)), &QAction::triggered, this,
                [this, where] { open_indicator_dialog(where.first, where.second); });
    }
    remove->setEnabled(!entries.empty());
    properties->setEnabled(!entries.empty());

    menu->addSeparator();
    const struct {
        chart::GraphMode mode;
        const char* text;
    } modes[] = {{chart::GraphMode::Bars, "Bar Chart"}, {chart::GraphMode::Candles, "Candlesticks"},
                 {chart::GraphMode::Line, "Line Chart"}};
    for (const auto& entry : modes) {
        QAction* action = menu->addAction(entry.text);
        action->setCheckable(true);
        action->setChecked(settings.graphmode == static_cast<int32_t>(entry.mode));
        const chart::GraphMode mode = entry.mode;
        connect(action, &QAction::triggered, this, [this, mode] {
            chart_->set_graph_mode(mode);
            update();
        });
    }
    QMenu* schemes = menu->addMenu("Colors");
    const struct {
        chart::ColourScheme scheme;
        const char* text;
    } scheme_entries[] = {{chart::ColourScheme::YellowOnBlack, "Yellow on Black"},
                          {chart::ColourScheme::GreenOnBlack, "Green on Black"},
                          {chart::ColourScheme::BlackOnWhite, "Black on White"}};
    for (const auto& entry : scheme_entries) {
        QAction* action = schemes->addAction(entry.text);
        action->setCheckable(true);
        action->setChecked(settings.color_scheme == static_cast<int32_t>(entry.scheme));
        const chart::ColourScheme scheme = entry.scheme;
        connect(action, &QAction::triggered, this, [this, scheme] {
            chart_->set_colour_scheme(scheme);
            update();
        });
    }
    QMenu* flags = menu->addMenu("Properties");
    for (const FlagEntry& entry : kFlagEntries) {
        QAction* action = flags->addAction(entry.text);
        action->setCheckable(true);
        action->setChecked(settings.flag(entry.flag) != 0);
        const chart::ChartFlag flag = entry.flag;
        connect(action, &QAction::triggered, this, [this, flag] {
            chart_->toggle(flag);
            update();
        });
    }

    menu->addSeparator();
    objects_->add_menu(*menu, *chart_);
    menu->addSeparator();
    connect(menu->addAction("Zoom In"), &QAction::triggered, this, [this] { zoom(chart::Zoom::In); });
    connect(menu->addAction("Zoom Out"), &QAction::triggered, this, [this] { zoom(chart::Zoom::Out); });
    QAction* crosshair = menu->addAction("Crosshair");
    crosshair->setCheckable(true);
    crosshair->setChecked(settings.crosshair != 0);
    connect(crosshair, &QAction::triggered, this, [this](bool on) { set_crosshair(on); });
    connect(menu->addAction("Refresh"), &QAction::triggered, this, [this] { refresh(); });
    return menu;
}

void ChartView::paint_on(QPainter& painter) {
    if (!chart_) {
        painter.fillRect(rect(), Qt::white);
        return;
    }
    QPainterCanvas canvas(painter, &texts_);
    renderer_.paint(*chart_, canvas, render_options());
}

QImage ChartView::picture() {
    QImage image(std::max(1, width()), std::max(1, height()), QImage::Format_RGB32);
    QPainter painter(&image);
    paint_on(painter);
    return image;
}

void ChartView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paint_on(painter);
}

void ChartView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    apply_area();
}

void ChartView::mousePressEvent(QMouseEvent* event) {
    if (!chart_ || event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    const QPoint at = event->position().toPoint();
    const chart::Hit hit = chart_->hit_test(at.x(), at.y());
    switch (hit.code) {
    case chart::HitCode::CrosshairClose: set_crosshair(false); return;
    case chart::HitCode::Splitter: chart_->begin_drag(hit.window); return;
    default: break;
    }
    if (objects_->press(*chart_, at)) return;
    if (chart_->settings().crosshair) {
        chart_->set_cursor(at.x(), at.y());
        update();
        return;
    }
    scrolling_ = true;
    drag_x_ = at.x();
    drag_leftpos_ = chart_->settings().leftpos;
    drag_requested_ = drag_leftpos_;
}

void ChartView::mouseMoveEvent(QMouseEvent* event) {
    if (!chart_) return;
    const QPoint at = event->position().toPoint();
    if (chart_->dragged_window() >= 0) {
        if (chart_->drag_to(at.y())) update();
        return;
    }
    if (objects_->move(*chart_, at, linked_by(*event))) return;
    if (chart_->settings().crosshair) {
        chart_->set_cursor(at.x(), at.y());
        update();
        return;
    }
    if (!scrolling_) return;
    const chart::ChartSettings settings = chart_->settings();
    const int step = chart::bar_step(settings.scale, dpi_or_default(terminal_.display_metrics().dpi_x));
    // Dragging right shows older bars. Each new position asks once, so that dragging on
    // past the oldest bar doesn't repeat the request for more history on every move.
    const int wanted = drag_leftpos_ + (drag_x_ - at.x()) / step;
    if (wanted == drag_requested_) return;
    drag_requested_ = wanted;
    chart_->scroll_to(wanted);
    update();
}

void ChartView::mouseReleaseEvent(QMouseEvent* event) {
    if (!chart_) return QWidget::mouseReleaseEvent(event);
    if (chart_->dragged_window() >= 0) {
        chart_->end_drag();
        update();
    }
    objects_->release(*chart_, event->position().toPoint(), linked_by(*event));
    scrolling_ = false;
}

void ChartView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (!chart_ || event->button() != Qt::LeftButton || !objects_->double_click(*chart_, event->position().toPoint()))
        QWidget::mouseDoubleClickEvent(event);
}

void ChartView::keyPressEvent(QKeyEvent* event) {
    if (!chart_) return QWidget::keyPressEvent(event);
    const int page = std::max(1, chart_->settings().visible_bars);
    switch (event->key()) {
    case Qt::Key_Left: scroll_bars(-1); break;
    case Qt::Key_Right: scroll_bars(1); break;
    case Qt::Key_PageUp: scroll_bars(-page); break;
    case Qt::Key_PageDown: scroll_bars(page); break;
    case Qt::Key_Home: chart_->scroll_to(0); update(); break;
    case Qt::Key_End: chart_->scroll_to(std::numeric_limits<int>::max()); update(); break;
    case Qt::Key_Plus:
    case Qt::Key_Up: zoom(chart::Zoom::In); break;
    case Qt::Key_Minus:
    case Qt::Key_Down: zoom(chart::Zoom::Out); break;
    case Qt::Key_Delete: objects_->delete_selected(*chart_); break;
    case Qt::Key_Escape: objects_->choose(std::nullopt); break;
    default: QWidget::keyPressEvent(event); return;
    }
}

void ChartView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = build_menu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

}  // namespace kb::ui
