#include "ui/connection_status.h"

namespace kb::ui {

std::string connection_status_text(net::ReturnCode trade_state, net::ReturnCode history_state, uint64_t quote_packets) {
    return std::string("MainServer: ") + net::return_code_text(trade_state) +
           ", DataCenter: " + net::return_code_text(history_state) + ", quotes: " + std::to_string(quote_packets);
}

ConnectionStatus::ConnectionStatus(QWidget* parent) : QLabel(parent) { update_text(); }

void ConnectionStatus::show_states(net::ReturnCode trade_state, net::ReturnCode history_state) {
    if (trade_state == trade_state_ && history_state == history_state_) return;
    trade_state_ = trade_state;
    history_state_ = history_state;
    update_text();
    echo_now();
}

void ConnectionStatus::count_quotes() {
    ++quote_packets_;
    update_text();
}

void ConnectionStatus::tick() {
    if (++ticks_since_echo_ < kQuoteEchoTicks) return;
    if (quote_packets_ != echoed_quote_packets_) echo_now();
    ticks_since_echo_ = 0;
}

void ConnectionStatus::update_text() {
    setText(QString::fromStdString(connection_status_text(trade_state_, history_state_, quote_packets_)));
}

void ConnectionStatus::echo_now() {
    echoed_quote_packets_ = quote_packets_;
    ticks_since_echo_ = 0;
    if (echo_) echo_(text().toStdString());
}

}  // namespace kb::ui
