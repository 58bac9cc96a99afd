#include "ui/main_window.h"

#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTimerEvent>

#include "config/accounts_base.h"
#include "config/server_probe.h"
#include "config/terminal_config.h"
#include "core/fixed_text.h"
#include "market/history_center.h"
#include "core/strings.h"
#include "session/server_session.h"
#include "ui/chart_view.h"
#include "ui/connection_status.h"
#include "ui/history_view.h"
#include "ui/login_dialog.h"
#include "ui/market_watch_view.h"
#include "ui/order_dialog.h"
#include "ui/placeholder_views.h"
#include "ui/trade_view.h"

namespace kb::ui {

namespace {

// The tab font of the handheld: 8 points, in pixels at 96 dots per inch.
constexpr int kTabFontPixels = (8 * 96 + 36) / 72;

QString text_of(int id) { return QString::fromUtf8(core::builtin_text(id).data(), core::builtin_text(id).size()); }

}  // namespace

int login_failure_text_id(net::ReturnCode final_state) {
    switch (final_state) {
        case net::ReturnCode::AccountDisabled: return core::kTextAccountDisabled;
        case net::ReturnCode::InvalidAccount: return core::kTextInvalidAccount;
        case net::ReturnCode::PublicKeyNotFound: return core::kTextPublicKeyNotFound;
        default: return 0;
    }
}

MainWindow::MainWindow(core::Terminal& terminal, QWidget* parent) : QMainWindow(parent), terminal_(terminal) {
    build_tabs();
    build_menu_and_status();
    resize(480, 640);
    recompute_title();
    watchdog_timer_ = startTimer(kWatchdogIntervalMs);
}

MainWindow::~MainWindow() = default;

void MainWindow::build_tabs() {
    tabs_ = new QTabWidget(this);
    tabs_->setTabPosition(QTabWidget::North);
    QFont font;
    font.setFamilies({"Tahoma", "DejaVu Sans", "Liberation Sans"});
    int pixels = terminal_.display_metrics().scale(kTabFontPixels);
    if (pixels > 0) font.setPixelSize(pixels);
    tabs_->tabBar()->setFont(font);

    quotes_ = new MarketWatchView(terminal_);
    chart_ = new ChartView(terminal_);
    trade_ = new TradeView(terminal_);
    history_ = new HistoryView(terminal_);
    news_ = new NewsView;
    // The kind is the order type the dialog opens with; another value opens the one last sent.
    quotes_->set_order_dialog_opener([this](const std::string& symbol, intptr_t kind) {
        const bool order_type = kind >= trade::kBuy && kind <= trade::kSellStop;
        trade_->open_order_dialog(symbol, order_type ? static_cast<int>(kind) : kRememberedOrderType);
    });
    quotes_->set_chart_opener([this](const std::string& symbol) {
        chart_->open_symbol(symbol);
        select_tab(kTabChart);
    });
    tabs_->addTab(quotes_, text_of(core::kTextTabQuotes));
    tabs_->addTab(chart_, text_of(core::kTextTabChart));
    tabs_->addTab(trade_, text_of(core::kTextTabTrade));
    tabs_->addTab(history_, text_of(core::kTextTabHistory));
    tabs_->addTab(news_, text_of(core::kTextTabNews));
    setCentralWidget(tabs_);

    int stored = terminal_.settings().read_number(core::kSectionWindow, kActiveTabSetting, 0);
    tabs_->setCurrentIndex(stored >= 0 && stored < kTabCount ? stored : 0);
    // Connected after the initial selection, so reading the setting doesn't write it back.
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
        terminal_.settings().write_number(core::kSectionWindow, kActiveTabSetting, index);
    });
}

void MainWindow::build_menu_and_status() {
    QMenu* file = menuBar()->addMenu("&File");
    file->addAction("&Login...", this, [this] { open_login_dialog(); });
    status_ = new ConnectionStatus;
    statusBar()->addWidget(status_, 1);
    refresh_connection_status();
}

LoginDialog* MainWindow::open_login_dialog() {
    if (!login_dialog_) {
        login_dialog_ = new LoginDialog(terminal_, this);
        login_dialog_->setAttribute(Qt::WA_DeleteOnClose);
        connect(login_dialog_, &LoginDialog::login_chosen, this, [this] { dialog_login_requested_ = true; });
    }
    login_dialog_->open();
    return login_dialog_;
}

void MainWindow::refresh_connection_status() {
    session::ServerSession* session = terminal_.services().server_session.get();
    const net::ReturnCode not_connected = net::ReturnCode::NoConnection;
    status_->show_states(session ? session->state(session::Server::Trade) : not_connected,
                         session ? session->state(session::Server::History) : not_connected);
}

// A dialog login ends with the trade server's first final state after its reconnect:
// connected, or a refusal that has a message.
void MainWindow::report_dialog_login_result() {
    session::ServerSession* session = terminal_.services().server_session.get();
    if (!dialog_login_pending_ || !session) return;
    const net::ReturnCode state = session->state(session::Server::Trade);
    if (state == net::ReturnCode::Ok || report_login_failure(state)) dialog_login_pending_ = false;
}

void MainWindow::select_tab(int index) {
    if (index < 0 || index >= kTabCount) return;
    if (tabs_->currentIndex() == index) {
        // No change signal comes, but the caller still expects the tab stored.
        terminal_.settings().write_number(core::kSectionWindow, kActiveTabSetting, index);
        return;
    }
    tabs_->setCurrentIndex(index);
}

int MainWindow::active_tab() const { return tabs_->currentIndex(); }

void MainWindow::set_title_account(std::optional<core::TitleAccount> account) {
    title_account_ = account;
    recompute_title();
}

void MainWindow::recompute_title() {
    std::string title = core::window_title(title_account_, terminal_.branding().program_title(), core::builtin_text);
    setWindowTitle(QString::fromStdString(title));
}

bool MainWindow::report_login_failure(net::ReturnCode final_state) {
    int text_id = login_failure_text_id(final_state);
    if (text_id == 0) return false;
    auto* box = new QMessageBox(QMessageBox::Warning, QString::fromStdString(terminal_.branding().program_title()),
                                text_of(text_id), QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
    return true;
}

void MainWindow::bring_to_front() {
    if (isMinimized()) showNormal();
    show();
    raise();
    activateWindow();
}

// The key generation dialog comes with the secured login keys; until then no key is
// generated and the connection thread is told so with 0.
intptr_t MainWindow::request_key_generation() { return 0; }

std::optional<intptr_t> MainWindow::handle_notification(core::Notification code, intptr_t value) {
    intptr_t result = 0;
    switch (code) {
        case core::Notification::Symbols:   // 0
            quotes_->fill();
            break;
        case core::Notification::Quotes:   // 0, or the trade base's recalculation result
            status_->count_quotes();
            quotes_->refresh();
            trade_->refresh_trades();
            chart_->forward(code, value);
            break;
        case core::Notification::News:   // 0
            news_->refresh_news();
            break;
        case core::Notification::Mail:   // 0
            news_->refresh_mail();
            break;
        case core::Notification::Trades:   // 0
            trade_->refresh_trades();
            break;
        case core::Notification::AccountHistory:   // a HistorySelector, or 0
            history_->refresh_history(value);
            break;
        case core::Notification::ChartHistory:   // 0
            chart_->recompute_active_chart();
            chart_->forward(code, value);
            break;
        case core::Notification::SelectTab:   // the tab index
            select_tab(static_cast<int>(value));
            break;
        case core::Notification::EnableToolbar:   // the buttons' bits
            toolbar_buttons_ |= static_cast<uint32_t>(value);
            break;
        case core::Notification::DisableToolbar:   // the buttons' bits
            toolbar_buttons_ &= ~static_cast<uint32_t>(value);
            break;
        case core::Notification::ShowOrderChart:   // the order ticket
            chart_->show_order_symbol(value);
            select_tab(kTabChart);
            break;
        case core::Notification::GenerateKey:   // 0; sent, the answer goes back to the connection thread
            result = request_key_generation();
            break;
        case core::Notification::LoggedIn:   // the login number
            set_title_account(core::TitleAccount{
                static_cast<int>(value), title_account_ ? title_account_->kind : core::AccountKind::Real});
            chart_->recompute_active_chart();
            break;
        case core::Notification::Reconnect:   // 0
            // The history centre moves to the new account's server, dropping the requests
            // queued for the old one; the accounts are saved before the new login.
            if (market::HistoryCenter* history = terminal_.services().history_center.get())
                if (config::TerminalConfig* configuration = terminal_.services().terminal_config.get())
                    history->set_server(std::string(core::field_text(configuration->login_record().server)));
            if (config::AccountsBase* accounts = terminal_.services().accounts_base.get()) accounts->save();
            if (session::ServerSession* session = terminal_.services().server_session.get()) session->reconnect();
            // Set after the reconnect, so that states of the account before don't count.
            dialog_login_pending_ = dialog_login_requested_;
            dialog_login_requested_ = false;
            chart_->recompute_active_chart();
            break;
        case core::Notification::ConnectionState:   // a ConnectionServer
            refresh_connection_status();
            if (value == core::notification_value(core::ConnectionServer::Trade)) report_dialog_login_result();
            break;
        case core::Notification::OpenOrderDialog:   // the order kind
            quotes_->open_order_dialog(value);
            break;
        case core::Notification::InvalidateChart:   // 0
            chart_->invalidate();
            break;
        case core::Notification::MailComposer:   // a value for the mail view
            news_->forward_to_mail(core::notification_code(code), value);
            break;
        default:
            return std::nullopt;
    }
    emit notification_handled(code, value);
    return result;
}

void MainWindow::timerEvent(QTimerEvent* event) {
    if (event->timerId() == watchdog_timer_) {
        on_timer(kWatchdogTimerId);
        return;
    }
    QMainWindow::timerEvent(event);
}

void MainWindow::on_timer(int logical_id) {
    if (logical_id != kWatchdogTimerId) return;
    terminal_.run_watchdogs();
    // A probe step that hangs ends as a failure, so the probe moves on.
    if (config::ServerProbe* probe = terminal_.services().server_probe.get()) probe->probe_watchdog();
    refresh_connection_status();
    status_->tick();
}

}  // namespace kb::ui
