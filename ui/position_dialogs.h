#pragma once
#include "trade/trade_record.h"
#include "ui/trade_dialog.h"

class QCheckBox;
class QDateTimeEdit;
class QDoubleSpinBox;
class QSpinBox;

namespace kb::ui {

// Closes an open position in full or in part, in the symbol's execution mode: instant at
// the current price, by request (the dealer's price first) or at the market. The volume
// starts at the whole position.
class CloseDialog : public TradeDialog {
    Q_OBJECT
public:
    CloseDialog(core::Terminal& terminal, TradeRequestRunner& runner, const trade::TradeRecord& position,
                QWidget* parent = nullptr);
    void set_lots(double lots);
    // The points an instant close may deal away from the shown price.
    void set_deviation(int points);

protected:
    trade::TradeRequest build_request() override;

private:
    trade::TradeRecord position_;
    QDoubleSpinBox* lots_ = nullptr;
    QSpinBox* deviation_ = nullptr;
};

// Changes the stop loss and take profit of a position, or also the price and expiration
// of a pending order.
class ModifyDialog : public TradeDialog {
    Q_OBJECT
public:
    ModifyDialog(core::Terminal& terminal, TradeRequestRunner& runner, const trade::TradeRecord& order,
                 QWidget* parent = nullptr);
    void set_stops(double stop_loss, double take_profit);
    // A pending order's new price and expiration (unix time; 0 for none).
    void set_pending(double price, int32_t expiration);

protected:
    trade::TradeRequest build_request() override;

private:
    trade::TradeRecord order_;
    QDoubleSpinBox* stop_loss_ = nullptr;
    QDoubleSpinBox* take_profit_ = nullptr;
    QDoubleSpinBox* price_ = nullptr;
    QCheckBox* expires_ = nullptr;
    QDateTimeEdit* expiration_ = nullptr;
};

// The request that acts on an order without a dialog of its own: delete a pending
// order, close a position by an opposite one, close all opposite positions of a symbol.
trade::TradeRequest delete_request(const trade::TradeRecord& order);
trade::TradeRequest close_by_request(const trade::TradeRecord& position, const trade::TradeRecord& opposite);
trade::TradeRequest multiple_close_by_request(const trade::TradeRecord& position);

}  // namespace kb::ui
