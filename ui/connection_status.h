#pragma once
#include <QLabel>
#include <cstdint>
#include <functional>
#include <string>

#include "net/protocol.h"

namespace kb::ui {

// "MainServer: <state text>, DataCenter: <state text>, quotes: <count>", each state read
// as its return code text (6 "No connection", 0 "OK", 65 "Invalid account", ...).
std::string connection_status_text(net::ReturnCode trade_state, net::ReturnCode history_state, uint64_t quote_packets);

// The status bar line that shows the state of both server connections and how many
// quote packets arrived since start. An optional echo hands each new text on (the
// program prints it when it runs without a display): at once when a connection state
// changes, and every kQuoteEchoTicks ticks when only the quote count moved.
// User-interface thread only.
class ConnectionStatus : public QLabel {
    Q_OBJECT
public:
    static constexpr int kQuoteEchoTicks = 10;
    using Echo = std::function<void(const std::string& text)>;

    explicit ConnectionStatus(QWidget* parent = nullptr);

    // Shows the states of the trade server and history server connections.
    void show_states(net::ReturnCode trade_state, net::ReturnCode history_state);
    // Counts one quote packet (Quotes).
    void count_quotes();
    // The once-a-second tick that paces the echo of the quote count.
    void tick();
    void set_echo(Echo echo) { echo_ = std::move(echo); }

    net::ReturnCode trade_state() const { return trade_state_; }
    net::ReturnCode history_state() const { return history_state_; }
    uint64_t quote_packets() const { return quote_packets_; }

private:
    void update_text();
    void echo_now();

    net::ReturnCode trade_state_ = net::ReturnCode::NoConnection;
    net::ReturnCode history_state_ = net::ReturnCode::NoConnection;
    uint64_t quote_packets_ = 0;
    uint64_t echoed_quote_packets_ = 0;
    int ticks_since_echo_ = 0;
    Echo echo_;
};

}  // namespace kb::ui
