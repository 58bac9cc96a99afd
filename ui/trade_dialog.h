#pragma once
#include "core/terminal.h"

#include <QDialog>
#include <string_view>

#include "trade/trade_request.h"
#include "ui/trade_request_runner.h"

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace kb::ui {

// What the order, close and modify dialogs share: a Send button that builds the request
// and hands it to the runner, a status line with the request's states and the result's
// text, and the price question (a requote, or the dealer's answer to a price request)
// with Accept and Refuse. The dialog never waits: states arrive from the runner.
// User-interface thread only; the runner must outlive the dialog.
class TradeDialog : public QDialog {
    Q_OBJECT
public:
    // Builds and submits the request. Returns Ok when it was sent, else the refusing code
    // (shown in the status line too).
    net::ReturnCode send();
    QString status_text() const;
    // True while a requote or a dealer's price waits for Accept or Refuse.
    bool price_question_open() const;
    // Sends the request again at the offered price (an order by request after a price
    // request). Returns the submit code; CommonError when no question is open.
    net::ReturnCode accept_price();
    // Drops the offered price; nothing is sent.
    void refuse_price();

signals:
    // The request ended with this code (Ok: done).
    void finished_with(net::ReturnCode code);

protected:
    TradeDialog(core::Terminal& terminal, TradeRequestRunner& runner, QWidget* parent);
    // The request of the dialog's fields.
    virtual trade::TradeRequest build_request() = 0;
    // Called with the request of each Send, before it is submitted: the user's last
    // choices, whether or not the request then goes out.
    virtual void remember_choices(const trade::TradeRequest& chosen) { (void)chosen; }
    // Puts the form, then the shared status line, question and buttons in the layout.
    void finish_layout(QLayout* form);
    // The symbol's digits; 8 for a symbol the symbols base doesn't know.
    int symbol_digits(std::string_view symbol) const;

    core::Terminal& terminal_;
    // The kind sent at the dealer's price after a price request.
    uint8_t priced_kind_ = trade::kOrderByRequest;

private:
    void on_state(net::ReturnCode code);
    void ask_price(const QString& question);
    void show_status(const QString& text);

    TradeRequestRunner& runner_;
    QLabel* status_ = nullptr;
    QWidget* question_ = nullptr;
    QLabel* question_text_ = nullptr;
    QPushButton* send_ = nullptr;
    bool waiting_ = false;
};

// The price the request trades at from a quote: opening a buy or closing a sell takes
// the ask, the others the bid.
double trading_price(const trade::TradeRequest& request, double bid, double ask);

}  // namespace kb::ui
