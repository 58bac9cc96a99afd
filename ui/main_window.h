#pragma once
#include <QMainWindow>
#include <QPointer>
#include <cstdint>
#include <optional>
#include <string_view>

#include "core/notifications.h"
#include "core/terminal.h"
#include "core/window_title.h"
#include "net/protocol.h"

class QTabWidget;

namespace kb::ui {

class ConnectionStatus;
class LoginDialog;
class MarketWatchView;
class ChartView;
class TradeView;
class HistoryView;
class NewsView;

enum Tab : int { kTabQuotes = 0, kTabChart = 1, kTabTrade = 2, kTabHistory = 3, kTabNews = 4, kTabCount = 5 };

inline constexpr const char* kActiveTabSetting = "ActiveTab";
// The logical identifier of the once-a-second timer that runs the watchdogs.
inline constexpr int kWatchdogTimerId = 1236;
inline constexpr int kWatchdogIntervalMs = 1000;

// The text shown in a message box for a connection's final state after a login dialog
// (AccountDisabled, InvalidAccount, PublicKeyNotFound); 0 for any other state.
int login_failure_text_id(net::ReturnCode final_state);

// The frame of the terminal: a tab control at the top over the five views, the window
// title, and the handler of the services' notifications. User-interface thread only;
// other threads reach it through QtNotifier.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(core::Terminal& terminal, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Handles one notification; nullopt for a code it doesn't handle, else the result
    // (0, or the answer of a sent code).
    std::optional<intptr_t> handle_notification(core::Notification code, intptr_t value);

    // Selects a tab (0 to 4) and stores it as "ActiveTab"; other indexes are ignored.
    void select_tab(int index);
    int active_tab() const;
    QTabWidget* tabs() const { return tabs_; }

    // The account the title shows; nullopt while none is logged in.
    void set_title_account(std::optional<core::TitleAccount> account);
    void recompute_title();

    // The toolbar buttons enabled by EnableToolbar and disabled by DisableToolbar, as a bit mask.
    uint32_t toolbar_buttons() const { return toolbar_buttons_; }

    // Shows the message box for a final connection state after a login dialog; false
    // when the state has no message.
    bool report_login_failure(net::ReturnCode final_state);

    // Restores, raises and activates the window (a second start asked for it).
    void bring_to_front();

    // Opens the login dialog without blocking (the File menu's "Login..."); a login
    // chosen there makes the next final trade server state 64, 65 or 66 show its
    // message box. Returns the open dialog.
    LoginDialog* open_login_dialog();
    ConnectionStatus* connection_status() const { return status_; }

    MarketWatchView* quotes_view() const { return quotes_; }
    ChartView* chart_view() const { return chart_; }
    TradeView* trade_view() const { return trade_; }
    HistoryView* history_view() const { return history_; }
    NewsView* news_view() const { return news_; }

signals:
    // Emitted after each handled notification, on the user-interface thread.
    void notification_handled(core::Notification code, qintptr value);

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    void on_timer(int logical_id);
    void build_tabs();
    void build_menu_and_status();
    void refresh_connection_status();
    void report_dialog_login_result();
    intptr_t request_key_generation();

    core::Terminal& terminal_;
    QTabWidget* tabs_ = nullptr;
    MarketWatchView* quotes_ = nullptr;
    ChartView* chart_ = nullptr;
    TradeView* trade_ = nullptr;
    HistoryView* history_ = nullptr;
    NewsView* news_ = nullptr;
    std::optional<core::TitleAccount> title_account_;
    uint32_t toolbar_buttons_ = 0;
    ConnectionStatus* status_ = nullptr;
    QPointer<LoginDialog> login_dialog_;
    // A login dialog chose an account; its Reconnect has not been handled yet.
    bool dialog_login_requested_ = false;
    // The reconnect of a dialog login ran; the next final trade server state is reported.
    bool dialog_login_pending_ = false;
    int watchdog_timer_ = 0;
};

}  // namespace kb::ui
