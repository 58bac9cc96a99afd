#pragma once
#include "core/terminal.h"

#include <QWidget>
#include <cstdint>
#include <string>

#include "trade/trade_record.h"
#include "ui/order_dialog.h"
#include "ui/trade_flags.h"
#include "ui/trade_request_runner.h"

class QAction;
class QLabel;
class QMenu;
class QTableWidget;

namespace kb::ui {

class CloseDialog;
class ModifyDialog;

// Tab "Trade": the account summary (balance, equity, margin, free margin, floating
// profit) over the list of open positions and pending orders with their current prices
// and profit, read from the trade base on every refresh. Its menu opens the order,
// close and modify dialogs and sends delete, close by and multiple close by; their
// results come back by notification and show in a status line. The view flags are read
// as "TradesFlags" at creation and written back when the view goes, only if changed.
// User-interface thread only; the terminal must outlive the view.
class TradeView : public QWidget {
    Q_OBJECT
public:
    explicit TradeView(core::Terminal& terminal, QWidget* parent = nullptr);
    ~TradeView() override;

    // Trades or prices changed (Quotes, Trades): rereads the summary and the open trades.
    void refresh_trades();
    int refresh_count() const { return refreshes_; }

    // The summary lines joined by line ends.
    QString summary_text() const;
    int row_count() const;
    // The row of an order; -1 when it isn't listed.
    int row_of(int32_t ticket) const;
    QString cell_text(int row, TradeColumn column) const;
    bool select_ticket(int32_t ticket);
    // The selected row's ticket; 0 when none is selected.
    int32_t selected_ticket() const;
    QString status_text() const;
    uint32_t flags() const { return flags_; }
    void toggle_flags(uint32_t bits);
    QTableWidget* table() const { return table_; }

    // The menu's commands. The dialogs are opened without blocking and delete themselves
    // when closed; null when there is nothing to act on (no trade base, no selection, a
    // selection of the wrong kind).
    // order_type 0..5 opens the order dialog with that type, another value with the one
    // the dialog last sent.
    OrderDialog* open_order_dialog(const std::string& symbol, int order_type = kRememberedOrderType);
    CloseDialog* open_close_dialog();
    ModifyDialog* open_modify_dialog();
    // Send the request for the selected order; the submit code (Ok: sent),
    // InvalidParameters when the selection doesn't fit the command.
    net::ReturnCode delete_selected();
    net::ReturnCode close_by_selected(int32_t opposite_ticket);
    net::ReturnCode multiple_close_by_selected();
    // "Chart": asks the main window to show the selected order's symbol in the chart
    // (ShowOrderChart with its ticket); nothing without a selection or a notifier.
    void show_selected_chart();

private:
    void build_menu();
    // The view-flag entries are checked by their bits ("Header" while its bit is clear).
    void check_flag_actions();
    void rebuild_columns();
    void apply_flags();
    void choose_close_by();
    net::ReturnCode send(const trade::TradeRequest& request);
    std::optional<trade::TradeRecord> selected_trade() const;
    void on_request_state(net::ReturnCode code);

    core::Terminal& terminal_;
    const uint32_t stored_flags_;
    uint32_t flags_;
    std::vector<TradeColumnSpec> columns_;
    struct FlagAction {
        QAction* action;
        uint32_t bits;
        bool checked_when_set;
    };
    std::vector<FlagAction> flag_actions_;
    QLabel* summary_ = nullptr;
    QTableWidget* table_ = nullptr;
    QLabel* status_ = nullptr;
    TradeRequestRunner* runner_ = nullptr;
    int refreshes_ = 0;
    bool view_request_ = false;
};

}  // namespace kb::ui
