#pragma once
#include <QIcon>
#include <QTableWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/terminal.h"
#include "ui/market_watch_flags.h"

class QMenu;

namespace kb::market {
class SymbolsBase;
struct SelectedSymbol;
}  // namespace kb::market

namespace kb::ui {

// The entries of the market watch menu, in the menu's order.
enum class MarketWatchCommand { NewOrder, ChartWindow, Hide, HideAll, ShowAll, Symbols, Arrange, HighLow, Time, Header, Grid };

// The "Quotes" tab: one row per shown entry of the Market Watch selection, in selection
// order, with the symbol's row colour, its bid and ask (and high, low, time as the flags
// say) coloured by the direction of the last bid change, and the menu of commands on a
// symbol. Reads the terminal's symbols base only through copies; while there is none the
// list is empty. The flags are read from "MarketWatchFlags" at creation and written back
// at destruction when they changed. User-interface thread only.
class MarketWatchView : public QTableWidget {
    Q_OBJECT
public:
    explicit MarketWatchView(core::Terminal& terminal, QWidget* parent = nullptr);
    ~MarketWatchView() override;

    uint32_t flags() const { return flags_; }
    const std::vector<MarketWatchColumnSpec>& columns() const { return columns_; }
    // The table column of a column kind; -1 while the flags hide it.
    int column_of(MarketWatchColumn column) const;
    // The symbol of a row; empty outside the list.
    std::string symbol_at_row(int row) const;
    // The row of a symbol; -1 when it has none.
    int row_of(std::string_view symbol) const;

    // Rebuilds the rows from the selection (symbols may have come or gone), marks every
    // entry updated and refreshes, so every price is rewritten. Symbols and the commands
    // that change the selection call it.
    void fill();
    // Collects the updated entries, 32 at a time until none is left, and rewrites their
    // rows' prices and direction images. Returns how many collections brought entries.
    // Quotes calls it.
    size_t refresh();

    // The order dialog comes with the trading screens, which set the opener; until then
    // "New Order" is greyed and a request does nothing.
    using OrderDialogOpener = std::function<void(const std::string& symbol, intptr_t kind)>;
    void set_order_dialog_opener(OrderDialogOpener opener) { order_opener_ = std::move(opener); }
    // Opens the order dialog of this kind for the selected symbol, or the first one when
    // no row is selected (OpenOrderDialog, "New Order", a double tap). False when there is no
    // opener or no row.
    bool open_order_dialog(intptr_t kind);

    // The chart view sets the opener when it exists; until then "Chart Window" is greyed.
    using ChartOpener = std::function<void(const std::string& symbol)>;
    void set_chart_opener(ChartOpener opener) { chart_opener_ = std::move(opener); }

    // The menu with each entry enabled and checked as the view stands now; its entries
    // run run_command(). Owned by parent.
    QMenu* build_menu(QWidget* parent);
    void run_command(MarketWatchCommand command);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    market::SymbolsBase* symbols() const;
    void rebuild_columns();
    void fit_columns();
    void apply_flags_to_view();
    void set_flags(uint32_t flags);
    void paint_symbol_cell(int row, const std::string& name);
    void write_prices(int row, const market::SelectedSymbol& entry);
    // The selected row, the first one when none is selected; -1 for an empty list.
    int command_row() const;
    int selected_row() const;
    void hide_selected();
    void open_symbols_dialog();

    core::Terminal& terminal_;
    const uint32_t stored_flags_;
    uint32_t flags_;
    std::vector<MarketWatchColumnSpec> columns_;
    std::vector<std::string> row_symbols_;
    std::unordered_map<std::string, int> rows_;
    int fitted_width_ = -1;
    OrderDialogOpener order_opener_;
    ChartOpener chart_opener_;
    // The row images by direction of the last bid change: up, down, none yet.
    const std::array<QIcon, 3> icons_;
};

}  // namespace kb::ui
