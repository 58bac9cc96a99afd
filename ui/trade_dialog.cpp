#include "ui/trade_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/fixed_text.h"
#include "core/number_format.h"
#include "market/symbols_base.h"
#include "net/protocol.h"
#include "trade/trade_notification.h"
#include "trade/trade_record.h"

namespace kb::ui {
namespace {

QString code_text(net::ReturnCode code) { return QString::fromUtf8(net::return_code_text(code)); }

}  // namespace

double trading_price(const trade::TradeRequest& request, double bid, double ask) {
    const bool buy = trade::is_buy_side(request.order_type);
    return trade::is_close_kind(request.kind) ? (buy ? bid : ask) : (buy ? ask : bid);
}

TradeDialog::TradeDialog(core::Terminal& terminal, TradeRequestRunner& runner, QWidget* parent)
    : QDialog(parent), terminal_(terminal), runner_(runner) {
    connect(&runner_, &TradeRequestRunner::state_changed, this, &TradeDialog::on_state);
}

void TradeDialog::finish_layout(QLayout* form) {
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    status_ = new QLabel;
    status_->setWordWrap(true);
    layout->addWidget(status_);

    question_ = new QWidget;
    auto* question_layout = new QHBoxLayout(question_);
    question_text_ = new QLabel;
    question_layout->addWidget(question_text_, 1);
    auto* accept = new QPushButton("Accept");
    auto* refuse = new QPushButton("Refuse");
    question_layout->addWidget(accept);
    question_layout->addWidget(refuse);
    connect(accept, &QPushButton::clicked, this, [this] { accept_price(); });
    connect(refuse, &QPushButton::clicked, this, [this] { refuse_price(); });
    question_->hide();
    layout->addWidget(question_);

    auto* buttons = new QHBoxLayout;
    send_ = new QPushButton("Send");
    auto* close = new QPushButton("Close");
    buttons->addWidget(send_);
    buttons->addWidget(close);
    connect(send_, &QPushButton::clicked, this, [this] { send(); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    layout->addLayout(buttons);
}

net::ReturnCode TradeDialog::send() {
    question_->hide();
    const trade::TradeRequest request = build_request();
    remember_choices(request);
    const net::ReturnCode code = runner_.submit(request);
    waiting_ = code == net::ReturnCode::Ok;
    show_status(waiting_ ? QString("Sending...") : code_text(code));
    return code;
}

QString TradeDialog::status_text() const { return status_->text(); }

bool TradeDialog::price_question_open() const { return !question_->isHidden(); }

net::ReturnCode TradeDialog::accept_price() {
    if (!price_question_open()) return net::ReturnCode::CommonError;
    question_->hide();
    trade::TradeRequest request = runner_.request();
    const auto [bid, ask] = runner_.last_prices();
    if (request.kind == trade::kPriceRequest) request.kind = priced_kind_;
    request.price = trading_price(request, bid, ask);
    const net::ReturnCode code = runner_.submit(request);
    waiting_ = code == net::ReturnCode::Ok;
    show_status(waiting_ ? QString("Sending...") : code_text(code));
    return code;
}

void TradeDialog::refuse_price() {
    question_->hide();
    show_status("Price refused");
}

void TradeDialog::on_state(net::ReturnCode code) {
    if (!waiting_) return;   // another dialog's request
    if (trade::state_going_on(code)) {
        show_status(code_text(code));
        return;
    }
    waiting_ = false;
    const auto [bid, ask] = runner_.last_prices();
    const int digits = symbol_digits(core::field_text(runner_.request().symbol));
    const QString prices =
        QString::fromStdString(core::price_text(bid, digits) + " / " + core::price_text(ask, digits));
    if (code == net::ReturnCode::Requote) {
        ask_price("Requote " + prices + ". Trade at the new price?");
    } else if (code == net::ReturnCode::Ok && runner_.request().kind == trade::kPriceRequest) {
        ask_price("Dealer's price " + prices + ". Trade at this price?");
    } else {
        show_status(code_text(code));
    }
    emit finished_with(code);
}

void TradeDialog::ask_price(const QString& question) {
    question_text_->setText(question);
    question_->show();
    show_status(question);
}

int TradeDialog::symbol_digits(std::string_view symbol) const {
    market::SymbolsBase* symbols = terminal_.services().symbols_base.get();
    const std::optional<market::SymbolRecord> record = symbols ? symbols->symbol_by_name(symbol) : std::nullopt;
    return record ? record->digits : core::kMaxDigits;
}

void TradeDialog::show_status(const QString& text) { status_->setText(text); }

}  // namespace kb::ui
