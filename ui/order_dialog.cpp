#include "ui/order_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QSpinBox>
#include <cmath>

#include "core/fixed_text.h"
#include "core/number_format.h"
#include "market/symbols_base.h"
#include "trade/request_journal.h"
#include "trade/trade_record.h"

namespace kb::ui {
namespace {

constexpr int kExecutionRequest = 0;
constexpr int kExecutionInstant = 1;

bool pending_type(int order_type) { return order_type >= trade::kBuyLimit && order_type <= trade::kSellStop; }

}  // namespace

QDoubleSpinBox* new_price_box() {
    auto* box = new QDoubleSpinBox;
    box->setDecimals(core::kMaxDigits);
    box->setRange(0, 1000000000);
    return box;
}

OrderDialog::OrderDialog(core::Terminal& terminal, TradeRequestRunner& runner, const std::string& symbol,
                         QWidget* parent)
    : TradeDialog(terminal, runner, parent) {
    setWindowTitle("Order");
    auto* form = new QFormLayout;
    symbol_ = new QComboBox;
    if (market::SymbolsBase* symbols = terminal.services().symbols_base.get()) {
        for (size_t i = 0; i < symbols->selected_count(); ++i)
            if (auto entry = symbols->selected_at(i); entry && entry->shown)
                symbol_->addItem(QString::fromStdString(std::string(core::field_text(entry->name))));
    }
    if (symbol_->findText(QString::fromStdString(symbol)) < 0) symbol_->addItem(QString::fromStdString(symbol));
    symbol_->setCurrentText(QString::fromStdString(symbol));
    form->addRow("Symbol", symbol_);

    type_ = new QComboBox;
    for (int type = trade::kBuy; type <= trade::kSellStop; ++type) type_->addItem(trade::order_type_name(type));
    form->addRow("Type", type_);
    lots_ = new QDoubleSpinBox;
    lots_->setDecimals(2);
    lots_->setRange(0, 100000);
    lots_->setSingleStep(0.1);
    lots_->setValue(0.1);
    form->addRow("Volume", lots_);
    stop_loss_ = new_price_box();
    take_profit_ = new_price_box();
    form->addRow("Stop loss", stop_loss_);
    form->addRow("Take profit", take_profit_);
    deviation_ = new QSpinBox;
    deviation_->setRange(0, kMaxDeviation);
    form->addRow("Deviation", deviation_);
    price_ = new_price_box();
    form->addRow("Price", price_);
    expires_ = new QCheckBox("Expiration");
    expiration_ = new QDateTimeEdit(QDateTime::currentDateTimeUtc().addDays(1));
    expiration_->setTimeSpec(Qt::UTC);
    form->addRow(expires_, expiration_);
    connect(type_, &QComboBox::currentIndexChanged, this, &OrderDialog::on_type_changed);
    finish_layout(form);
    on_type_changed();
}

void OrderDialog::set_order(int order_type, double lots) {
    type_->setCurrentIndex(order_type);
    lots_->setValue(lots);
}

void OrderDialog::set_stops(double stop_loss, double take_profit) {
    stop_loss_->setValue(stop_loss);
    take_profit_->setValue(take_profit);
}

void OrderDialog::set_deviation(int points) { deviation_->setValue(points); }

void OrderDialog::set_pending(double price, int32_t expiration) {
    price_->setValue(price);
    expires_->setChecked(expiration > 0);
    if (expiration > 0) expiration_->setDateTime(QDateTime::fromSecsSinceEpoch(expiration, Qt::UTC));
}

QString OrderDialog::symbol() const { return symbol_->currentText(); }

void OrderDialog::on_type_changed() {
    const bool pending = pending_type(type_->currentIndex());
    price_->setEnabled(pending);
    expires_->setEnabled(pending);
    expiration_->setEnabled(pending);
}

trade::TradeRequest OrderDialog::build_request() {
    trade::TradeRequest request{};
    const std::string name = symbol_->currentText().toStdString();
    core::set_field_text(request.symbol, name);
    request.order_type = static_cast<int16_t>(type_->currentIndex());
    request.volume = static_cast<int32_t>(std::lround(lots_->value() * 100));
    request.stop_loss = stop_loss_->value();
    request.take_profit = take_profit_->value();
    if (pending_type(request.order_type)) {
        request.kind = trade::kPendingOrder;
        request.price = price_->value();
        request.expiration = expires_->isChecked() ? static_cast<int32_t>(expiration_->dateTime().toSecsSinceEpoch()) : 0;
        return request;
    }
    market::SymbolsBase* symbols = terminal_.services().symbols_base.get();
    const std::optional<market::SymbolRecord> record = symbols ? symbols->symbol_by_name(name) : std::nullopt;
    const int mode = record ? record->execution_mode : kExecutionInstant;
    if (mode == kExecutionRequest) {
        request.kind = trade::kPriceRequest;
    } else if (mode == kExecutionInstant) {
        request.kind = trade::kInstantOrder;
        request.deviation = deviation_->value();
        const std::optional<market::SymbolPrices> prices = symbols ? symbols->prices(name) : std::nullopt;
        if (prices) request.price = trading_price(request, prices->bid, prices->ask);
    } else {
        request.kind = trade::kMarketOrder;
    }
    return request;
}

}  // namespace kb::ui
