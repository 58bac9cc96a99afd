#include "ui/market_watch_view.h"
#include "ui/view_flags.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QResizeEvent>
#include <array>

#include "core/fixed_text.h"
#include "core/number_format.h"
#include "core/strings.h"
#include "market/symbols_base.h"
#include "ui/symbols_dialog.h"

namespace kb::ui {

namespace {

// Price colours as the symbols base's colour values (0x00BBGGRR).
constexpr uint32_t kRiseColour = 0x00FF0000;   // blue
constexpr uint32_t kFallColour = 0x000000FF;   // red
constexpr int kDirectionUp = 0;
constexpr int kDirectionDown = 1;
constexpr int kDirectionNone = 2;
// Below this height the view is collapsed and its columns are left alone.
constexpr int kMinimumFitHeight = 20;
constexpr int kImageSize = 9;

QColor colour_of(uint32_t value) { return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF); }

QString text_of(int id) {
    std::string_view text = core::builtin_text(id);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The row images: a rising and a falling triangle, and an empty one before any change.
QIcon direction_icon(int direction) {
    QPixmap pixmap(kImageSize, kImageSize);
    pixmap.fill(Qt::transparent);
    if (direction == kDirectionUp || direction == kDirectionDown) {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        const bool up = direction == kDirectionUp;
        painter.setBrush(colour_of(up ? kRiseColour : kFallColour));
        const int tip = up ? 1 : kImageSize - 2, base = up ? kImageSize - 2 : 1;
        const std::array<QPoint, 3> corners = {QPoint(kImageSize / 2, tip), QPoint(0, base), QPoint(kImageSize - 1, base)};
        painter.drawPolygon(corners.data(), static_cast<int>(corners.size()));
    }
    return QIcon(pixmap);
}

struct MenuEntry {
    MarketWatchCommand command;
    const char* text;
};
constexpr MenuEntry kMenu[] = {
    {MarketWatchCommand::NewOrder, "New Order"},    {MarketWatchCommand::ChartWindow, "Chart Window"},
    {MarketWatchCommand::Hide, "Hide"},             {MarketWatchCommand::HideAll, "Hide All"},
    {MarketWatchCommand::ShowAll, "Show All"},      {MarketWatchCommand::Symbols, "Symbols..."},
    {MarketWatchCommand::Arrange, "Arrange"},       {MarketWatchCommand::HighLow, "High/Low"},
    {MarketWatchCommand::Time, "Time"},             {MarketWatchCommand::Header, "Header"},
    {MarketWatchCommand::Grid, "Grid"},
};
// Separators go before these entries.
bool starts_group(MarketWatchCommand command) {
    return command == MarketWatchCommand::Hide || command == MarketWatchCommand::Arrange;
}

}  // namespace

MarketWatchView::MarketWatchView(core::Terminal& terminal, QWidget* parent)
    : QTableWidget(parent),
      terminal_(terminal),
      stored_flags_(read_view_flags(terminal.settings(), kMarketWatchFlagsSetting, kDefaultMarketWatchFlags)),
      flags_(stored_flags_),
      icons_{direction_icon(kDirectionUp), direction_icon(kDirectionDown), direction_icon(kDirectionNone)} {
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setIconSize(QSize(kImageSize, kImageSize));
    setWordWrap(false);
    verticalHeader()->setVisible(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    horizontalHeader()->setHighlightSections(false);
    connect(this, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
        selectRow(row);
        open_order_dialog(0);
    });
    rebuild_columns();
    fill();
}

MarketWatchView::~MarketWatchView() {
    write_view_flags_if_changed(terminal_.settings(), kMarketWatchFlagsSetting, stored_flags_, flags_);
}

market::SymbolsBase* MarketWatchView::symbols() const { return terminal_.services().symbols_base.get(); }

int MarketWatchView::column_of(MarketWatchColumn column) const {
    for (size_t i = 0; i < columns_.size(); ++i)
        if (columns_[i].column == column) return static_cast<int>(i);
    return -1;
}

std::string MarketWatchView::symbol_at_row(int row) const {
    return row >= 0 && static_cast<size_t>(row) < row_symbols_.size() ? row_symbols_[static_cast<size_t>(row)]
                                                                       : std::string();
}

int MarketWatchView::row_of(std::string_view symbol) const {
    auto found = rows_.find(std::string(symbol));
    return found == rows_.end() ? -1 : found->second;
}

void MarketWatchView::rebuild_columns() {
    columns_ = market_watch_columns(flags_);
    setColumnCount(static_cast<int>(columns_.size()));
    QStringList headers;
    for (const MarketWatchColumnSpec& column : columns_) headers << text_of(column.text_id);
    setHorizontalHeaderLabels(headers);
    fitted_width_ = -1;
    apply_flags_to_view();
}

void MarketWatchView::apply_flags_to_view() {
    setShowGrid((flags_ & kMarketWatchGrid) != 0);
    horizontalHeader()->setVisible((flags_ & kMarketWatchNoHeader) == 0);
    setHorizontalScrollBarPolicy((flags_ & kMarketWatchFit) ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
}

void MarketWatchView::set_flags(uint32_t flags) {
    flags_ = flags;
    apply_flags_to_view();
}

void MarketWatchView::fill() {
    market::SymbolsBase* base = symbols();
    std::vector<std::string> names;
    if (base) {
        for (size_t position = 0;; ++position) {
            std::optional<market::SelectedSymbol> entry = base->selected_at(position);
            if (!entry) break;
            if (entry->shown == static_cast<int32_t>(market::Shown::Yes)) names.emplace_back(core::field_text(entry->name));
        }
    }
    const std::string selected = symbol_at_row(selected_row());
    setRowCount(static_cast<int>(names.size()));
    rows_.clear();
    for (int row = 0; row < static_cast<int>(names.size()); ++row) {
        const std::string& name = names[static_cast<size_t>(row)];
        rows_[name] = row;
        paint_symbol_cell(row, name);
        for (int column = 1; column < columnCount(); ++column) {
            if (!item(row, column)) setItem(row, column, new QTableWidgetItem);
            item(row, column)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            item(row, column)->setBackground(item(row, 0)->background());
        }
    }
    row_symbols_ = std::move(names);
    clearSelection();
    if (int row = row_of(selected); row >= 0) selectRow(row);
    if (base) base->mark_all_updated();
    if (flags_ & kMarketWatchFit) fit_columns();
    refresh();
}

void MarketWatchView::paint_symbol_cell(int row, const std::string& name) {
    QTableWidgetItem* cell = item(row, 0);
    if (!cell) {
        cell = new QTableWidgetItem;
        setItem(row, 0, cell);
    }
    cell->setText(QString::fromStdString(name));
    cell->setIcon(icons_[kDirectionNone]);
    std::optional<market::SymbolRecord> symbol = symbols() ? symbols()->symbol_by_name(name) : std::nullopt;
    cell->setBackground(symbol ? colour_of(symbol->row_colour) : palette().color(QPalette::Base));
    cell->setForeground(symbol && symbol->display_flag < 1 ? palette().color(QPalette::Dark)
                                                           : palette().color(QPalette::Text));
}

size_t MarketWatchView::refresh() {
    market::SymbolsBase* base = symbols();
    if (!base) return 0;
    std::array<market::SelectedSymbol, market::SymbolsBase::kMaxCollected> batch;
    size_t collections = 0;
    while (size_t count = base->collect_updated(batch)) {
        ++collections;
        for (size_t i = 0; i < count; ++i) {
            const int row = row_of(core::field_text(batch[i].name));
            if (row >= 0) write_prices(row, batch[i]);
        }
    }
    return collections;
}

void MarketWatchView::write_prices(int row, const market::SelectedSymbol& entry) {
    const QColor price_colour = entry.direction == kDirectionUp     ? colour_of(kRiseColour)
                                : entry.direction == kDirectionDown ? colour_of(kFallColour)
                                                                    : palette().color(QPalette::Text);
    for (int column = 1; column < columnCount(); ++column) {
        std::string text;
        const MarketWatchColumn kind = columns_[static_cast<size_t>(column)].column;
        switch (kind) {
            case MarketWatchColumn::Bid: text = core::price_text(entry.bid, entry.digits); break;
            case MarketWatchColumn::Ask: text = core::price_text(entry.ask, entry.digits); break;
            case MarketWatchColumn::High: text = core::price_text(entry.high, entry.digits); break;
            case MarketWatchColumn::Low: text = core::price_text(entry.low, entry.digits); break;
            case MarketWatchColumn::Time: text = quote_time_text(entry.time); break;
            case MarketWatchColumn::Symbol: break;
        }
        QTableWidgetItem* cell = item(row, column);
        cell->setText(QString::fromStdString(text));
        // The direction belongs to the prices; the quote's time is plain text.
        cell->setForeground(kind == MarketWatchColumn::Time ? palette().color(QPalette::Text) : price_colour);
    }
    const bool changed = entry.direction == kDirectionUp || entry.direction == kDirectionDown;
    item(row, 0)->setIcon(icons_[changed ? entry.direction : kDirectionNone]);
}

void MarketWatchView::fit_columns() {
    const int width = viewport()->width();
    if (width == fitted_width_ || height() < kMinimumFitHeight) return;
    fitted_width_ = width;
    std::vector<int> widths = fitted_column_widths(columns_, width);
    for (size_t column = 0; column < widths.size(); ++column) setColumnWidth(static_cast<int>(column), widths[column]);
}

void MarketWatchView::resizeEvent(QResizeEvent* event) {
    QTableWidget::resizeEvent(event);
    if (flags_ & kMarketWatchFit) fit_columns();
}

int MarketWatchView::selected_row() const {
    const QList<QTableWidgetSelectionRange> ranges = selectedRanges();
    return ranges.isEmpty() ? -1 : ranges.first().topRow();
}

int MarketWatchView::command_row() const {
    const int selected = selected_row();
    return selected >= 0 ? selected : (rowCount() > 0 ? 0 : -1);
}

bool MarketWatchView::open_order_dialog(intptr_t kind) {
    const int row = command_row();
    if (!order_opener_ || row < 0) return false;
    order_opener_(symbol_at_row(row), kind);
    return true;
}

QMenu* MarketWatchView::build_menu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    const bool has_selection = selected_row() >= 0;
    for (const MenuEntry& entry : kMenu) {
        if (starts_group(entry.command)) menu->addSeparator();
        QAction* action = menu->addAction(QString::fromUtf8(entry.text));
        const MarketWatchCommand command = entry.command;
        connect(action, &QAction::triggered, this, [this, command] { run_command(command); });
        auto check = [action](bool on) {
            action->setCheckable(true);
            action->setChecked(on);
        };
        switch (command) {
            case MarketWatchCommand::NewOrder: action->setEnabled(order_opener_ && rowCount() > 0); break;
            case MarketWatchCommand::ChartWindow: action->setEnabled(chart_opener_ && has_selection); break;
            case MarketWatchCommand::Hide: action->setEnabled(has_selection); break;
            case MarketWatchCommand::HideAll: action->setEnabled(rowCount() > 0); break;
            case MarketWatchCommand::ShowAll:
            case MarketWatchCommand::Symbols: action->setEnabled(symbols() != nullptr); break;
            case MarketWatchCommand::Arrange: check((flags_ & kMarketWatchFit) != 0); break;
            case MarketWatchCommand::HighLow: check((flags_ & (kMarketWatchHigh | kMarketWatchLow)) != 0); break;
            case MarketWatchCommand::Time: check((flags_ & kMarketWatchTime) != 0); break;
            case MarketWatchCommand::Header: check((flags_ & kMarketWatchNoHeader) == 0); break;
            case MarketWatchCommand::Grid: check((flags_ & kMarketWatchGrid) != 0); break;
        }
    }
    return menu;
}

void MarketWatchView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = build_menu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void MarketWatchView::run_command(MarketWatchCommand command) {
    market::SymbolsBase* base = symbols();
    switch (command) {
        case MarketWatchCommand::NewOrder: open_order_dialog(0); break;
        case MarketWatchCommand::ChartWindow:
            if (chart_opener_ && selected_row() >= 0) chart_opener_(symbol_at_row(selected_row()));
            break;
        case MarketWatchCommand::Hide: hide_selected(); break;
        case MarketWatchCommand::HideAll:
            if (!base) break;
            base->hide_all_not_in_use();
            setRowCount(0);
            fill();
            break;
        case MarketWatchCommand::ShowAll:
            if (!base) break;
            base->select_all();
            fill();
            break;
        case MarketWatchCommand::Symbols: open_symbols_dialog(); break;
        case MarketWatchCommand::Arrange:
            set_flags(flags_ ^ kMarketWatchFit);
            fitted_width_ = -1;
            if (flags_ & kMarketWatchFit) fit_columns();
            break;
        case MarketWatchCommand::HighLow:
            flags_ = toggle_high_low(flags_);
            rebuild_columns();
            fill();
            break;
        case MarketWatchCommand::Time:
            flags_ ^= kMarketWatchTime;
            rebuild_columns();
            fill();
            break;
        case MarketWatchCommand::Header: set_flags(flags_ ^ kMarketWatchNoHeader); break;
        case MarketWatchCommand::Grid: set_flags(flags_ ^ kMarketWatchGrid); break;
    }
}

void MarketWatchView::hide_selected() {
    market::SymbolsBase* base = symbols();
    const int row = selected_row();
    if (!base || row < 0) return;
    // Refused while an open trade or chart uses the symbol; the list is redrawn either way.
    base->hide_symbol(symbol_at_row(row));
    fill();
}

void MarketWatchView::open_symbols_dialog() {
    market::SymbolsBase* base = symbols();
    if (!base) return;
    SymbolsDialog dialog(*base, this);
    dialog.exec();
    if (dialog.changed()) fill();
}

}  // namespace kb::ui
