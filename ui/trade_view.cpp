#include "ui/trade_view.h"
#include "ui/view_flags.h"

#include <QAction>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

#include "core/fixed_text.h"
#include "core/notifications.h"
#include "core/settings_store.h"
#include "net/protocol.h"
#include "trade/trade_base.h"
#include "ui/order_dialog.h"
#include "ui/position_dialogs.h"

namespace kb::ui {
namespace {

constexpr int kTicketRole = Qt::UserRole;

bool opposite(const trade::TradeRecord& a, const trade::TradeRecord& b) {
    return trade::is_position(a.type) && trade::is_position(b.type) && a.type != b.type &&
           core::field_text(a.symbol) == core::field_text(b.symbol);
}

template <typename Dialog>
Dialog* show_dialog(Dialog* dialog) {
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
    return dialog;
}

}  // namespace

TradeView::TradeView(core::Terminal& terminal, QWidget* parent)
    : QWidget(parent),
      terminal_(terminal),
      stored_flags_(read_view_flags(terminal.settings(), kTradesFlagsSetting, kDefaultTradesFlags)),
      flags_(stored_flags_) {
    setObjectName("trade");
    runner_ = new TradeRequestRunner(terminal, this);
    connect(runner_, &TradeRequestRunner::state_changed, this, &TradeView::on_request_state);
    auto* layout = new QVBoxLayout(this);
    summary_ = new QLabel;
    layout->addWidget(summary_);
    table_ = new QTableWidget;
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->hide();
    layout->addWidget(table_, 1);
    status_ = new QLabel;
    layout->addWidget(status_);
    build_menu();
    rebuild_columns();
    refresh_trades();
}

TradeView::~TradeView() {
    write_view_flags_if_changed(terminal_.settings(), kTradesFlagsSetting, stored_flags_, flags_);
}

void TradeView::build_menu() {
    table_->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto add = [this](const QString& text, auto handler) {
        auto* action = new QAction(text, table_);
        connect(action, &QAction::triggered, this, handler);
        table_->addAction(action);
        return action;
    };
    add("New Order", [this] {
        const std::optional<trade::TradeRecord> trade = selected_trade();
        open_order_dialog(trade ? std::string(core::field_text(trade->symbol)) : std::string());
    });
    add("Chart", [this] { show_selected_chart(); });
    add("Close Order", [this] { open_close_dialog(); });
    add("Modify Order", [this] { open_modify_dialog(); });
    add("Delete Order", [this] { delete_selected(); });
    add("Close By", [this] { choose_close_by(); });
    add("Multiple Close By", [this] { multiple_close_by_selected(); });
    auto flag = [this, &add](const QString& text, uint32_t bits, bool checked_when_set) {
        QAction* action = add(text, [this, bits] { toggle_flags(bits); });
        action->setCheckable(true);
        flag_actions_.push_back({action, bits, checked_when_set});
    };
    flag("S/L and T/P", kTradesStops, true);
    flag("Commission and Swap", kTradesCommission, true);
    flag("Arrange", kTradesFit, true);
    flag("Grid", kTradesGrid, true);
    flag("Header", kTradesNoHeader, false);
    check_flag_actions();
}

void TradeView::check_flag_actions() {
    for (const FlagAction& entry : flag_actions_) entry.action->setChecked(((flags_ & entry.bits) != 0) == entry.checked_when_set);
}

void TradeView::toggle_flags(uint32_t bits) {
    flags_ ^= bits;
    check_flag_actions();
    rebuild_columns();
    refresh_trades();
}

void TradeView::rebuild_columns() {
    columns_ = trade_columns(flags_);
    table_->setColumnCount(static_cast<int>(columns_.size()));
    QStringList titles;
    for (const TradeColumnSpec& layout : columns_) titles << layout.title;
    table_->setHorizontalHeaderLabels(titles);
    apply_flags();
}

void TradeView::apply_flags() {
    table_->setShowGrid((flags_ & kTradesGrid) != 0);
    table_->horizontalHeader()->setVisible((flags_ & kTradesNoHeader) == 0);
    table_->horizontalHeader()->setSectionResizeMode((flags_ & kTradesFit) ? QHeaderView::Stretch
                                                                           : QHeaderView::Interactive);
}

void TradeView::refresh_trades() {
    ++refreshes_;
    trade::TradeBase* base = terminal_.services().trade_base.get();
    if (!base) {
        table_->setRowCount(0);
        summary_->clear();
        return;
    }
    const int money_decimals = base->deposit_decimals();
    QStringList lines;
    for (const std::string& line : summary_lines(base->summary(), money_decimals)) lines << QString::fromStdString(line);
    summary_->setText(lines.join('\n'));

    const int32_t selected = selected_ticket();
    const std::vector<trade::TradeRecord> trades = listed_trades(base->open_trades());
    table_->setRowCount(static_cast<int>(trades.size()));
    for (int row = 0; row < static_cast<int>(trades.size()); ++row) {
        for (int column = 0; column < static_cast<int>(columns_.size()); ++column) {
            const QString text = QString::fromStdString(trade_cell_text(trades[row], columns_[column].column, money_decimals));
            QTableWidgetItem* item = table_->item(row, column);
            if (!item) {
                item = new QTableWidgetItem;
                table_->setItem(row, column, item);
            }
            if (item->text() != text) item->setText(text);
            item->setData(kTicketRole, trades[row].ticket);
        }
    }
    if (selected != 0) select_ticket(selected);
}

QString TradeView::summary_text() const { return summary_->text(); }

int TradeView::row_count() const { return table_->rowCount(); }

int TradeView::row_of(int32_t ticket) const {
    for (int row = 0; row < table_->rowCount(); ++row)
        if (const QTableWidgetItem* item = table_->item(row, 0); item && item->data(kTicketRole).toInt() == ticket)
            return row;
    return -1;
}

QString TradeView::cell_text(int row, TradeColumn column) const {
    for (int index = 0; index < static_cast<int>(columns_.size()); ++index)
        if (columns_[index].column == column)
            if (const QTableWidgetItem* item = table_->item(row, index)) return item->text();
    return {};
}

bool TradeView::select_ticket(int32_t ticket) {
    const int row = row_of(ticket);
    if (row < 0) return false;
    table_->selectRow(row);
    return true;
}

int32_t TradeView::selected_ticket() const {
    const QList<QTableWidgetItem*> items = table_->selectedItems();
    return items.isEmpty() ? 0 : items.front()->data(kTicketRole).toInt();
}

QString TradeView::status_text() const { return status_->text(); }

void TradeView::show_selected_chart() {
    if (const std::optional<trade::TradeRecord> trade = selected_trade())
        core::post(terminal_.notifier(), core::Notification::ShowOrderChart, trade->ticket);
}

std::optional<trade::TradeRecord> TradeView::selected_trade() const {
    trade::TradeBase* base = terminal_.services().trade_base.get();
    const int32_t ticket = selected_ticket();
    if (!base || ticket == 0) return std::nullopt;
    return base->open_trade_by_ticket(ticket);
}

OrderDialog* TradeView::open_order_dialog(const std::string& symbol, int order_type) {
    if (!terminal_.services().trade_base) return nullptr;
    return show_dialog(new OrderDialog(terminal_, *runner_, symbol, order_type, this));
}

CloseDialog* TradeView::open_close_dialog() {
    const std::optional<trade::TradeRecord> trade = selected_trade();
    if (!trade || !trade::is_position(trade->type)) return nullptr;
    return show_dialog(new CloseDialog(terminal_, *runner_, *trade, this));
}

ModifyDialog* TradeView::open_modify_dialog() {
    const std::optional<trade::TradeRecord> trade = selected_trade();
    if (!trade) return nullptr;
    return show_dialog(new ModifyDialog(terminal_, *runner_, *trade, this));
}

net::ReturnCode TradeView::delete_selected() {
    const std::optional<trade::TradeRecord> trade = selected_trade();
    if (!trade || trade::is_position(trade->type)) return net::ReturnCode::InvalidParameters;
    return send(delete_request(*trade));
}

net::ReturnCode TradeView::close_by_selected(int32_t opposite_ticket) {
    trade::TradeBase* base = terminal_.services().trade_base.get();
    const std::optional<trade::TradeRecord> trade = selected_trade();
    const std::optional<trade::TradeRecord> other = base ? base->open_trade_by_ticket(opposite_ticket) : std::nullopt;
    if (!trade || !other || !opposite(*trade, *other)) return net::ReturnCode::InvalidParameters;
    return send(close_by_request(*trade, *other));
}

net::ReturnCode TradeView::multiple_close_by_selected() {
    const std::optional<trade::TradeRecord> trade = selected_trade();
    if (!trade || !trade::is_position(trade->type)) return net::ReturnCode::InvalidParameters;
    return send(multiple_close_by_request(*trade));
}

// Lets the user pick one of the opposite positions of the selected one's symbol.
void TradeView::choose_close_by() {
    trade::TradeBase* base = terminal_.services().trade_base.get();
    const std::optional<trade::TradeRecord> trade = selected_trade();
    if (!base || !trade) return;
    QStringList choices;
    for (const trade::TradeRecord& other : base->open_trades())
        if (opposite(*trade, other))
            choices << QString("#%1 %2").arg(other.ticket).arg(QString::fromStdString(trade_cell_text(other, TradeColumn::Lots, base->deposit_decimals())));
    if (choices.isEmpty()) {
        status_->setText("No opposite position");
        return;
    }
    bool chosen = false;
    const QString choice = QInputDialog::getItem(this, "Close By", "Opposite position", choices, 0, false, &chosen);
    if (chosen) close_by_selected(choice.section(' ', 0, 0).mid(1).toInt());
}

net::ReturnCode TradeView::send(const trade::TradeRequest& request) {
    const net::ReturnCode code = runner_->submit(request);
    view_request_ = code == net::ReturnCode::Ok;
    status_->setText(view_request_ ? QString("Sending...") : QString::fromUtf8(net::return_code_text(code)));
    return code;
}

void TradeView::on_request_state(net::ReturnCode code) {
    if (!view_request_) return;   // a dialog's request
    if (!runner_->busy()) view_request_ = false;
    status_->setText(QString::fromUtf8(net::return_code_text(code)));
}

}  // namespace kb::ui
