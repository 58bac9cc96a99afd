#include "ui/order_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QSpinBox>
#include <cmath>
#include <limits>

#include "core/fixed_text.h"
#include "core/number_format.h"
#include "core/settings_store.h"
#include "market/symbols_base.h"
#include "trade/request_journal.h"
#include "trade/trade_record.h"

namespace kb::ui {
namespace {



}  // namespace

QDoubleSpinBox* new_price_box() {
    auto* box = new QDoubleSpinBox;
    box->setDecimals(core::kMaxDigits);
    box->setRange(0, 1000000000);
    return box;
}

OrderDialog::OrderDialog(core::Terminal& terminal, TradeRequestRunner& runner, const std::string& symbol,
                         int order_type, QWidget* parent)
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
    if (!trade::is_order_type(order_type))
        order_type = terminal.settings().read_number(core::kSectionWindow, kNewOrderTypeSetting, trade::kBuy);
    type_->setCurrentIndex(trade::is_order_type(order_type) ? order_type : trade::kBuy);
    connect(type_, &QComboBox::currentIndexChanged, this, &OrderDialog::on_type_changed);
    finish_layout(form);
    on_type_changed();
    apply_remembered_levels();
}

// Stops at the remembered distances from the opening price; a pending order has no price yet.
void OrderDialog::apply_remembered_levels() {
    const double price = opening_price(type_->currentIndex());
    const std::optional<market::SymbolRecord> record = symbol_record();
    if (price <= 0 || !record || record->point <= 0) return;
    const bool buy = type_->currentIndex() == trade::kBuy;
    const int32_t stop_points = terminal_.settings().read_number(core::kSectionWindow, kLevelSlSetting, 0);
    const int32_t profit_points = terminal_.settings().read_number(core::kSectionWindow, kLevelTpSetting, 0);
    const int digits = record->digits;
    if (stop_points > 0)
        stop_loss_->setValue(core::normalize(price + (buy ? -1 : 1) * stop_points * record->point, digits));
    if (profit_points > 0)
        take_profit_->setValue(core::normalize(price + (buy ? 1 : -1) * profit_points * record->point, digits));
}

void OrderDialog::remember_choices(const trade::TradeRequest& chosen) {
    core::SettingsStore& settings = terminal_.settings();
    settings.write_number(core::kSectionWindow, kNewOrderTypeSetting, chosen.order_type);
    const double price = chosen.price > 0 ? chosen.price : opening_price(chosen.order_type);
    const std::optional<market::SymbolRecord> record = symbol_record();
    auto points_from_price = [&](double level) -> std::optional<int32_t> {
        if (level == 0) return 0;
        if (price <= 0 || !record || record->point <= 0) return std::nullopt;
        const double points = std::fabs(price - level) / record->point;
        if (points > std::numeric_limits<int32_t>::max()) return std::nullopt;
        return static_cast<int32_t>(std::lround(points));
    };
    if (const std::optional<int32_t> points = points_from_price(chosen.stop_loss))
        settings.write_number(core::kSectionWindow, kLevelSlSetting, *points);
    if (const std::optional<int32_t> points = points_from_price(chosen.take_profit))
        settings.write_number(core::kSectionWindow, kLevelTpSetting, *points);
}

double OrderDialog::opening_price(int order_type) const {
    if (trade::is_pending(order_type)) return price_->value();
    market::SymbolsBase* symbols = terminal_.services().symbols_base.get();
    const std::optional<market::SymbolPrices> prices =
        symbols ? symbols->prices(symbol_->currentText().toStdString()) : std::nullopt;
    if (!prices) return 0;
    return order_type == trade::kBuy ? prices->ask : prices->bid;
}

std::optional<market::SymbolRecord> OrderDialog::symbol_record() const {
    market::SymbolsBase* symbols = terminal_.services().symbols_base.get();
    return symbols ? symbols->symbol_by_name(symbol_->currentText().toStdString()) : std::nullopt;
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
int OrderDialog::order_type() const { return type_->currentIndex(); }
double OrderDialog::stop_loss() const { return stop_loss_->value(); }
double OrderDialog::take_profit() const { return take_profit_->value(); }

void OrderDialog::on_type_changed() {
    const bool pending = trade::is_pending(type_->currentIndex());
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
    if (trade::is_pending(request.order_type)) {
        request.kind = trade::kPendingOrder;
        request.price = price_->value();
        request.expiration = expires_->isChecked() ? static_cast<int32_t>(expiration_->dateTime().toSecsSinceEpoch()) : 0;
        return request;
    }
    market::SymbolsBase* symbols = terminal_.services().symbols_base.get();
    const std::optional<market::SymbolRecord> record = symbols ? symbols->symbol_by_name(name) : std::nullopt;
    const market::ExecutionMode mode = record ? record->execution_mode : market::ExecutionMode::Instant;
    if (mode == market::ExecutionMode::Request) {
        request.kind = trade::kPriceRequest;
    } else if (mode == market::ExecutionMode::Instant) {
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
