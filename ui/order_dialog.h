#pragma once
#include <string>

#include "ui/trade_dialog.h"

class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QDoubleSpinBox;
class QSpinBox;

namespace kb::ui {

// The new order dialog: symbol, order type (buy and sell at the market, or one of the
// four pending types), volume in lots, stop loss, take profit, the deviation for instant
// execution, the price and expiration of a pending order. An order at the market goes
// out in the symbol's execution mode: instant at the current price within the deviation,
// by request (the dealer's price is asked first and offered for Accept) or at the market.
class OrderDialog : public TradeDialog {
    Q_OBJECT
public:
    OrderDialog(core::Terminal& terminal, TradeRequestRunner& runner, const std::string& symbol,
                QWidget* parent = nullptr);

    // The fields, for the menu commands and for tests. Order types are 0..5.
    void set_order(int order_type, double lots);
    void set_stops(double stop_loss, double take_profit);
    void set_deviation(int points);
    // A pending order's price and expiration (unix time; 0 for none).
    void set_pending(double price, int32_t expiration);
    QString symbol() const;

protected:
    trade::TradeRequest build_request() override;

private:
    void on_type_changed();

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

// The largest deviation an instant order or close may allow, in points.
inline constexpr int kMaxDeviation = 1000000;

// A price entry with up to eight decimals, 0 meaning none.
QDoubleSpinBox* new_price_box();

}  // namespace kb::ui
