#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include <optional>

#include "market/symbol_record.h"
#include "ui/trade_dialog.h"

class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QDoubleSpinBox;
class QSpinBox;

namespace kb::ui {

// The order type of an opener that names none: the dialog takes the one last chosen.
inline constexpr int kRememberedOrderType = -1;

// The new order dialog: symbol, order type (buy and sell at the market, or one of the
// four pending types), volume in lots, stop loss, take profit, the deviation for instant
// execution, the price and expiration of a pending order. An order at the market goes
// out in the symbol's execution mode: instant at the current price within the deviation,
// by request (the dealer's price is asked first and offered for Accept) or at the market.
// Each Send is remembered in the settings: the order type as "NewOrderType",
// the distances of the stop loss and take profit from the price as "LevelSL" and
// "LevelTP"; a dialog opened without an order type takes the remembered one, and an order
// at the market starts with its stops at the remembered distances from the current price.
class OrderDialog : public TradeDialog {
    Q_OBJECT
public:
    // order_type 0..5 opens the dialog with that type; any other value with the remembered one.
    OrderDialog(core::Terminal& terminal, TradeRequestRunner& runner, const std::string& symbol,
                int order_type = kRememberedOrderType, QWidget* parent = nullptr);

    // The fields, for the menu commands and for tests. Order types are 0..5.
    void set_order(int order_type, double lots);
    void set_stops(double stop_loss, double take_profit);
    void set_deviation(int points);
    // A pending order's price and expiration (unix time; 0 for none).
    void set_pending(double price, int32_t expiration);
    QString symbol() const;
    int order_type() const;
    double stop_loss() const;
    double take_profit() const;

protected:
    trade::TradeRequest build_request() override;
    void remember_choices(const trade::TradeRequest& chosen) override;

private:
    void on_type_changed();
    // The price a new order of this type opens at now: the ask for a buy, the bid for a
    // sell, the entered price of a pending order; 0 when unknown.
    double opening_price(int order_type) const;
    void apply_remembered_levels();
    std::optional<market::SymbolRecord> symbol_record() const;

    QComboBox* symbol_ = nullptr;
    QComboBox* type_ = nullptr;
    QDoubleSpinBox* lots_ = nullptr;
    QDoubleSpinBox* stop_loss_ = nullptr;
    QDoubleSpinBox* take_profit_ = nullptr;
    QSpinBox* deviation_ = nullptr;
    QDoubleSpinBox* price_ = nullptr;
    QCheckBox* expires_ = nullptr;
    QDateTimeEdit* expiration_ = nullptr;
};

// The new order dialog's settings in section "Window".
inline constexpr std::string_view kNewOrderTypeSetting = "NewOrderType";   // the order type last sent
inline constexpr std::string_view kLevelSlSetting = "LevelSL";             // points from the price; 0 none
inline constexpr std::string_view kLevelTpSetting = "LevelTP";

// The largest deviation an instant order or close may allow, in points.
inline constexpr int kMaxDeviation = 1000000;

// A price entry with up to eight decimals, 0 meaning none.
QDoubleSpinBox* new_price_box();

}  // namespace kb::ui
