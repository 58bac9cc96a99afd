#pragma once
#include <QWidget>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "core/terminal.h"
#include "trade/account_history_period.h"
#include "ui/history_view_rows.h"

class QComboBox;
class QDateEdit;
class QTableWidget;

namespace kb::session {
class AccountHistoryDownload;
}

namespace kb::ui {

// Tab "History": the account's closed trades and balance operations of a chosen period,
// one row each, under them the profit/loss row and the credit, deposit and withdrawal
// rows the flags switch on. Choosing a period downloads it on a connection of its own;
// the list is rebuilt from the trade base when the history arrives (AccountHistory) and when a
// flag changes. The flags are read as "AccountHistoryFlags" at creation and written back
// when the view goes, only if changed.
// User-interface thread only; the terminal must outlive the view.
class HistoryView : public QWidget {
    Q_OBJECT
public:
    explicit HistoryView(core::Terminal& terminal, QWidget* parent = nullptr);
    ~HistoryView() override;

    // The history changed or was loaded (AccountHistory): rebuilds the list. After a login's
    // load (HistorySelector::Kept) a period the user chose is downloaded again.
    void refresh_history(intptr_t value);
    int refresh_count() const { return refreshes_; }

    // Chooses a listed period (trade::HistoryPeriod) or, with any other number, the
    // custom dates, and starts its download. False when nothing could be started (no
    // account to log in with, no trade base, dates out of order).
    bool choose_period(int period);
    int period() const;
    // The custom period: from 00:00 of first to 00:00 of the day after last.
    void set_custom_dates(int first_year, int first_month, int first_day, int last_year, int last_month,
                          int last_day);
    // The range the chosen period asks for now; nullopt for custom dates out of order.
    std::optional<trade::HistoryRange> chosen_range() const;
    // Waits for the download under way (tests).
    void wait_for_download();

    uint32_t flags() const { return flags_; }
    void toggle_flags(uint32_t bits);
    int row_count() const;
    QString cell_text(int row, HistoryColumn column) const;
    QTableWidget* table() const { return table_; }
    // "Chart": asks the main window to show the selected record's symbol in the chart
    // (ShowOrderChart with its ticket); nothing on a summary row, without a selection or
    // without a notifier.
    void show_selected_chart();

private:
    void build_menu();
    void rebuild_columns();
    // A fresh download object for the current account and notifier; null without the services.
    session::AccountHistoryDownload* download();

    core::Terminal& terminal_;
    const uint32_t stored_flags_;
    uint32_t flags_;
    std::vector<HistoryColumnSpec> columns_;
    QComboBox* periods_ = nullptr;
    QDateEdit* first_day_ = nullptr;
    QDateEdit* last_day_ = nullptr;
    QTableWidget* table_ = nullptr;
    std::unique_ptr<session::AccountHistoryDownload> download_;
    int refreshes_ = 0;
    bool period_chosen_ = false;
};

}  // namespace kb::ui
