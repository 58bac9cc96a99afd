#include "ui/history_view.h"
#include "ui/view_flags.h"

#include "config/terminal_config.h"

#include <QAction>
#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QTableWidget>
#include <QVBoxLayout>

#include "core/notifications.h"
#include "core/settings_store.h"
#include "platform/clock.h"
#include "session/account_history_download.h"
#include "session/server_session.h"
#include "trade/trade_base.h"

namespace kb::ui {
namespace {

constexpr int kCustomPeriod = 0;
constexpr int kTicketRole = Qt::UserRole;

int32_t day_start(const QDate& date) {
    platform::DateTime day;
    day.year = date.year();
    day.month = date.month();
    day.day = date.day();
    return static_cast<int32_t>(platform::local_calendar_to_unix(day));
}

}  // namespace

HistoryView::HistoryView(core::Terminal& terminal, QWidget* parent)
    : QWidget(parent),
      terminal_(terminal),
      stored_flags_(read_view_flags(terminal.settings(), kHistoryFlagsSetting, kDefaultHistoryFlags)),
      flags_(stored_flags_) {
    setObjectName("history");
    auto* layout = new QVBoxLayout(this);
    auto* choice = new QHBoxLayout;
    periods_ = new QComboBox;
    for (int period = trade::kFirstHistoryPeriod; period <= trade::kLastHistoryPeriod; ++period)
        periods_->addItem(QString::fromUtf8(trade::history_period_name(period).data()), period);
    periods_->addItem(QString::fromUtf8(trade::history_period_name(kCustomPeriod).data()), kCustomPeriod);
    choice->addWidget(periods_, 1);
    const platform::DateTime now = terminal.clock().local_time();
    const QDate today(now.year, now.month, now.day);
    first_day_ = new QDateEdit(today);
    last_day_ = new QDateEdit(today);
    for (QDateEdit* edit : {first_day_, last_day_}) {
        edit->setCalendarPopup(true);
        edit->setVisible(false);
        choice->addWidget(edit);
    }
    layout->addLayout(choice);
    table_ = new QTableWidget;
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->hide();
    layout->addWidget(table_, 1);
    build_menu();
    rebuild_columns();
    refresh_history(0);
    connect(periods_, &QComboBox::activated, this, [this](int index) { choose_period(periods_->itemData(index).toInt()); });
    for (QDateEdit* edit : {first_day_, last_day_})
        connect(edit, &QDateEdit::editingFinished, this, [this] { choose_period(kCustomPeriod); });
}

HistoryView::~HistoryView() {
    download_.reset();
    write_view_flags_if_changed(terminal_.settings(), kHistoryFlagsSetting, stored_flags_, flags_);
}

void HistoryView::build_menu() {
    table_->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* chart = new QAction("Chart", table_);
    connect(chart, &QAction::triggered, this, &HistoryView::show_selected_chart);
    table_->addAction(chart);
    auto flag = [this](const QString& text, uint32_t bits) {
        auto* action = new QAction(text, table_);
        action->setCheckable(true);
        action->setChecked((flags_ & bits) != 0);
        connect(action, &QAction::triggered, this, [this, bits] { toggle_flags(bits); });
        table_->addAction(action);
    };
    flag("Credit", trade::kShowCreditRow);
    flag("Deposit", trade::kShowDepositRow);
    flag("Withdrawal", trade::kShowWithdrawalRow);
    flag("Open Price", kHistoryOpenPrice);
    flag("Close Price", kHistoryClosePrice);
    flag("Arrange", kHistoryFit);
    flag("Grid", kHistoryGrid);
}

void HistoryView::toggle_flags(uint32_t bits) {
    flags_ ^= bits;
    rebuild_columns();
    refresh_history(0);
}

void HistoryView::rebuild_columns() {
    columns_ = history_columns(flags_);
    table_->setColumnCount(static_cast<int>(columns_.size()));
    QStringList titles;
    for (const HistoryColumnSpec& layout : columns_) titles << layout.title;
    table_->setHorizontalHeaderLabels(titles);
    table_->setShowGrid((flags_ & kHistoryGrid) != 0);
    table_->horizontalHeader()->setSectionResizeMode((flags_ & kHistoryFit) ? QHeaderView::Stretch
                                                                            : QHeaderView::Interactive);
}

void HistoryView::refresh_history(intptr_t value) {
    ++refreshes_;
    // A login loads the range of the day; the period the user chose is fetched again.
    if (value == core::notification_value(core::HistorySelector::Kept) && period_chosen_) choose_period(period());
    trade::TradeBase* base = terminal_.services().trade_base.get();
    const std::vector<HistoryRow> rows =
        base ? history_rows(base->history(), flags_, base->deposit_decimals()) : std::vector<HistoryRow>{};
    table_->setRowCount(static_cast<int>(rows.size()));
    for (int row = 0; row < static_cast<int>(rows.size()); ++row) {
        for (int column = 0; column < static_cast<int>(columns_.size()); ++column) {
            const std::string_view text = rows[row].cell(columns_[column].column);
            auto* item = new QTableWidgetItem(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
            if (columns_[column].column == HistoryColumn::Amount) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (rows[row].ticket == 0) {
                QFont bold = item->font();
                bold.setBold(true);
                item->setFont(bold);
            }
            if (column == 0) item->setData(kTicketRole, rows[row].ticket);
            table_->setItem(row, column, item);
        }
    }
}

void HistoryView::show_selected_chart() {
    const int row = table_->currentRow();
    const QTableWidgetItem* first = row >= 0 ? table_->item(row, 0) : nullptr;
    const int32_t ticket = first ? first->data(kTicketRole).toInt() : 0;
    if (ticket > 0) core::post(terminal_.notifier(), core::Notification::ShowOrderChart, ticket);
}

int HistoryView::period() const { return periods_->currentData().toInt(); }

void HistoryView::set_custom_dates(int first_year, int first_month, int first_day, int last_year, int last_month,
                                   int last_day) {
    first_day_->setDate(QDate(first_year, first_month, first_day));
    last_day_->setDate(QDate(last_year, last_month, last_day));
}

std::optional<trade::HistoryRange> HistoryView::chosen_range() const {
    if (std::optional<trade::HistoryRange> listed = trade::history_period_range(period(), terminal_.clock()))
        return listed;
    const trade::HistoryRange custom{day_start(first_day_->date()), day_start(last_day_->date().addDays(1))};
    if (!trade::is_requestable(custom)) return std::nullopt;
    return custom;
}

bool HistoryView::choose_period(int period) {
    const int index = periods_->findData(trade::history_period_range(period, terminal_.clock()) ? period : kCustomPeriod);
    periods_->setCurrentIndex(index);
    const bool custom = periods_->currentData().toInt() == kCustomPeriod;
    first_day_->setVisible(custom);
    last_day_->setVisible(custom);
    period_chosen_ = true;
    const std::optional<trade::HistoryRange> range = chosen_range();
    session::AccountHistoryDownload* loader = download();
    return range && loader && loader->download(*range);
}

void HistoryView::wait_for_download() {
    if (download_) download_->wait();
}

session::AccountHistoryDownload* HistoryView::download() {
    // A new download ends the one under way, and tells the notifier of the moment.
    download_.reset();
    core::Services& services = terminal_.services();
    if (!services.terminal_config || !services.server_list || !services.trade_base) return nullptr;
    download_ = std::make_unique<session::AccountHistoryDownload>(
        session::AccountHistoryEnvironment{.config = *services.terminal_config,
                                           .servers = *services.server_list,
                                           .journal = terminal_.journal(),
                                           .trades = *services.trade_base,
                                           .notifier = terminal_.notifier(),
                                           .stream_clock = terminal_.clock()});
    return download_.get();
}

int HistoryView::row_count() const { return table_->rowCount(); }

QString HistoryView::cell_text(int row, HistoryColumn column) const {
    for (int index = 0; index < static_cast<int>(columns_.size()); ++index) {
        if (columns_[index].column != column) continue;
        const QTableWidgetItem* item = table_->item(row, index);
        return item ? item->text() : QString();
    }
    return {};
}

}  // namespace kb::ui
