#include "ui/position_dialogs.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QSpinBox>
#include <cmath>
#include <cstring>

#include "core/fixed_text.h"
#include "core/number_format.h"
#include "market/symbols_base.h"
#include "trade/request_journal.h"
#include "ui/order_dialog.h"

namespace kb::ui {
namespace {


trade::TradeRequest request_for(const trade::TradeRecord& order, uint8_t kind) {
    trade::TradeRequest request{};
    request.kind = kind;
    request.order_type = static_cast<int16_t>(order.type);
    request.ticket = order.ticket;
    std::memcpy(request.symbol, order.symbol, sizeof request.symbol);
    request.symbol[sizeof request.symbol - 1] = 0;
    request.volume = order.volume;
    request.price = order.open_price;
    request.stop_loss = order.stop_loss;
    request.take_profit = order.take_profit;
    return request;
}

QString order_title(const trade::TradeRecord& order) {
    return QString("#%1 %2 %3 %4 at %5")
        .arg(order.ticket)
        .arg(trade::order_type_name(order.type))
        .arg(QString::fromStdString(core::fixed_text(order.volume / 100.0, 2)))
        .arg(QString::fromStdString(std::string(core::field_text(order.symbol))))
        .arg(QString::fromStdString(core::price_text(order.open_price, order.digits)));
}

}  // namespace

trade::TradeRequest delete_request(const trade::TradeRecord& order) { return request_for(order, trade::kDelete); }

trade::TradeRequest close_by_request(const trade::TradeRecord& position, const trade::TradeRecord& opposite) {
    trade::TradeRequest request = request_for(position, trade::kCloseBy);
    request.opposite_ticket = opposite.ticket;
    return request;
}

trade::TradeRequest multiple_close_by_request(const trade::TradeRecord& position) {
    return request_for(position, trade::kMultipleCloseBy);
}

CloseDialog::CloseDialog(core::Terminal& terminal, TradeRequestRunner& runner, const trade::TradeRecord& position,
                         QWidget* parent)
    : TradeDialog(terminal, runner, parent), position_(position) {
    setWindowTitle("Close " + order_title(position));
    priced_kind_ = trade::kCloseByRequest;
    auto* form = new QFormLayout;
    form->addRow(new QLabel(order_title(position)));
    lots_ = new QDoubleSpinBox;
    lots_->setDecimals(2);
    lots_->setRange(0, position.volume / 100.0);
    lots_->setValue(position.volume / 100.0);
    form->addRow("Volume", lots_);
    deviation_ = new QSpinBox;
    deviation_->setRange(0, kMaxDeviation);
    form->addRow("Deviation", deviation_);
    finish_layout(form);
}

void CloseDialog::set_lots(double lots) { lots_->setValue(lots); }

void CloseDialog::set_deviation(int points) { deviation_->setValue(points); }

trade::TradeRequest CloseDialog::build_request() {
    trade::TradeRequest request = request_for(position_, trade::kMarketClose);
    request.volume = static_cast<int32_t>(std::lround(lots_->value() * 100));
    request.price = 0;
    const std::string name(core::field_text(position_.symbol));
    market::SymbolsBase* symbols = terminal_.services().symbols_base.get();
    const std::optional<market::SymbolRecord> record = symbols ? symbols->symbol_by_name(name) : std::nullopt;
    const market::ExecutionMode mode = record ? record->execution_mode : market::ExecutionMode::Instant;
    if (mode == market::ExecutionMode::Request) {
        request.kind = trade::kPriceRequest;
    } else if (mode == market::ExecutionMode::Instant) {
        request.kind = trade::kInstantClose;
        request.deviation = deviation_->value();
        const std::optional<market::SymbolPrices> prices = symbols->prices(name);
        if (prices) request.price = trading_price(request, prices->bid, prices->ask);
    }
    return request;
}

ModifyDialog::ModifyDialog(core::Terminal& terminal, TradeRequestRunner& runner, const trade::TradeRecord& order,
                           QWidget* parent)
    : TradeDialog(terminal, runner, parent), order_(order) {
    setWindowTitle("Modify " + order_title(order));
    auto* form = new QFormLayout;
    form->addRow(new QLabel(order_title(order)));
    stop_loss_ = new_price_box();
    take_profit_ = new_price_box();
    stop_loss_->setValue(order.stop_loss);
    take_profit_->setValue(order.take_profit);
    form->addRow("Stop loss", stop_loss_);
    form->addRow("Take profit", take_profit_);
    price_ = new_price_box();
    price_->setValue(order.open_price);
    form->addRow("Price", price_);
    expires_ = new QCheckBox("Expiration");
    expiration_ = new QDateTimeEdit(QDateTime::currentDateTimeUtc().addDays(1));
    expiration_->setTimeSpec(Qt::UTC);
    form->addRow(expires_, expiration_);
    const bool pending = order.type > trade::kSell;
    price_->setEnabled(pending);
    expires_->setEnabled(pending);
    expiration_->setEnabled(pending);
    finish_layout(form);
}

void ModifyDialog::set_stops(double stop_loss, double take_profit) {
    stop_loss_->setValue(stop_loss);
    take_profit_->setValue(take_profit);
}

void ModifyDialog::set_pending(double price, int32_t expiration) {
    price_->setValue(price);
    expires_->setChecked(expiration > 0);
    if (expiration > 0) expiration_->setDateTime(QDateTime::fromSecsSinceEpoch(expiration, Qt::UTC));
}

trade::TradeRequest ModifyDialog::build_request() {
    trade::TradeRequest request = request_for(order_, trade::kModify);
    request.stop_loss = stop_loss_->value();
    request.take_profit = take_profit_->value();
    if (order_.type > trade::kSell) {
        request.price = price_->value();
        request.expiration = expires_->isChecked() ? static_cast<int32_t>(expiration_->dateTime().toSecsSinceEpoch()) : 0;
    }
    return request;
}

}  // namespace kb::ui
