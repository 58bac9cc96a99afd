#include <gtest/gtest.h>

// Before any Qt header: the configuration has a member that Qt's "slots" macro would rename.
#include "config/terminal_config.h"

#include <QCoreApplication>
#include <QImage>
#include <chrono>
#include <cstring>
#include <functional>
#include <optional>
#include <thread>
#include <utility>

#include "core/fixed_text.h"
#include "core/number_format.h"
#include "core/terminal.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/sound.h"
#include "session/server_session.h"
#include "session/trade_dispatcher.h"
#include "tests/server/login_data_fixture.h"
#include "tests/support/temp_folder.h"
#include "tests/ui/qt_application.h"
#include "trade/trade_base.h"
#include "ui/main_window.h"
#include "ui/market_watch_view.h"
#include "ui/order_dialog.h"
#include "ui/position_dialogs.h"
#include "ui/qt_notifier.h"
#include "ui/composition_root.h"
#include "ui/trade_view.h"

namespace kb::ui {
namespace {

using net::ReturnCode;

constexpr int32_t kAnn = 1001;

struct NoProcesses final : platform::ProcessStarter {
    bool start_detached(const std::vector<std::string>&) override { return false; }
};

// The login data server with the demo group's requote rate and execution mode.
std::string dealing_config(double requote_rate, const std::string& execution = "instant") {
    std::string text = server::testing_support::login_data_config();
    const std::string group = R"("leverage": 200, "news": 1)";
    text.insert(text.find(group) + group.size(), R"(, "requote_rate": )" + std::to_string(requote_rate) +
                                                     R"(, "execution": ")" + execution + R"(")");
    return text;
}

// The terminal's services, session and main window logged in to the demo server as Ann.
class TradeTabLive : public server::testing_support::LoginDataServer {
protected:
    static void SetUpTestSuite() { kb::testing::ensure_qt_application(); }

    void SetUp() override {}

    void log_in(double requote_rate, const std::string& execution = "instant") {
        start(dealing_config(requote_rate, execution));
        terminal.start(&factory);
        ASSERT_TRUE(terminal.services().terminal_config);
        config::TerminalConfig& configuration = *terminal.services().terminal_config;
        config::LoginRecord record = configuration.login_record();
        record.login = kAnn;
        std::memset(record.password, 0, sizeof record.password);
        core::set_field_text(record.password, "secret1");
        std::memset(record.server, 0, sizeof record.server);
        core::set_field_text(record.server, "127.0.0.1:" + std::to_string(server->trade_port()));
        configuration.set_login_record(record);
        window = std::make_unique<MainWindow>(terminal);
        notifier.set_window(window.get());
        terminal.set_notifier(&notifier);
        window->resize(480, 640);
        window->show();
        window->select_tab(kTabTrade);
        session = terminal.services().server_session.get();
        ASSERT_TRUE(session);
        session->start();
        ASSERT_TRUE(run_until([&] {
            const auto prices = terminal.services().symbols_base->prices("EURUSD");
            return prices && prices->bid > 0 && view().summary_text().contains("Balance: 5 000.00");
        })) << view().summary_text().toStdString();
        settle_quotes();
    }

    // Quotes of the last pumps may still be on their way, and a dialog priced before they
    // land asks for a price the local check no longer knows: wait until the terminal's
    // prices have stood still for a while, the server's clock held.
    void settle_quotes() {
        std::pair<double, double> last{};
        int still = 0;
        ASSERT_TRUE(run_until([&] {
            const auto prices = terminal.services().symbols_base->prices("EURUSD");
            const std::pair<double, double> now{prices->bid, prices->ask};
            still = now == last ? still + 1 : 0;
            last = now;
            return still >= 30;
        }, false));
    }

    void TearDown() override {
        if (session) session->stop();
        terminal.set_notifier(nullptr);
        notifier.set_window(nullptr);
        window.reset();
        terminal.shutdown();
    }

    TradeView& view() { return *window->trade_view(); }

    // Runs the event loop, with the server's clock moving while quotes are wanted, until
    // the condition holds or about 20 s of real time pass.
    bool run_until(const std::function<bool()>& condition, bool move_prices = true) {
        for (int step = 0; step < 2000; ++step) {
            if (move_prices) {
                clock.advance_ms(1000);
                server->feed().pump();
            }
            QCoreApplication::processEvents();
            if (condition()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    // Sends the dialog's request and waits, prices still, for its end.
    // Nothing when the request never ends.
    std::optional<ReturnCode> send_and_wait(TradeDialog& dialog) {
        std::optional<ReturnCode> result;
        const QMetaObject::Connection connection =
            QObject::connect(&dialog, &TradeDialog::finished_with, [&](ReturnCode code) { result = code; });
        const ReturnCode sent = dialog.send();
        if (sent == ReturnCode::Ok) run_until([&] { return result.has_value(); }, false);
        QObject::disconnect(connection);
        if (sent != ReturnCode::Ok) return sent;
        return result;
    }

    // Opens a position of EURUSD through the order dialog; its ticket, 0 on failure.
    int32_t open_position(int order_type, double lots) {
        OrderDialog* dialog = view().open_order_dialog("EURUSD");
        if (!dialog) return 0;
        dialog->set_order(order_type, lots);
        dialog->set_deviation(1000);
        if (send_and_wait(*dialog) != ReturnCode::Ok) return 0;
        trade::TradeRecord opened{};
        return terminal.services().trade_dispatcher->result(0, opened) == ReturnCode::Ok ? opened.ticket : 0;
    }

    kb::testing::TempFolder home;
    platform::SilentSoundPlayer sound;
    NoProcesses starter;
    CompositionRoot factory{sound, starter};
    core::Terminal terminal{home.path(), platform::system_clock(), home.file("settings")};
    QtNotifier notifier;
    std::unique_ptr<MainWindow> window;
    session::ServerSession* session = nullptr;
};

TEST_F(TradeTabLive, AnOrderFromTheDialogOpensAPositionThatTheTradeTabListsAndCloses) {
    ASSERT_NO_FATAL_FAILURE(log_in(0));
    ASSERT_TRUE(window->quotes_view()->open_order_dialog(0));
    EXPECT_EQ(view().findChildren<OrderDialog*>().size(), 1) << "a double tap in the Quotes tab opens it";
    OrderDialog* dialog = view().open_order_dialog("EURUSD");
    ASSERT_TRUE(dialog);
    dialog->set_order(trade::kBuy, 0.1);
    dialog->set_deviation(1000);
    ASSERT_EQ(send_and_wait(*dialog), ReturnCode::Ok) << dialog->status_text().toStdString();
    EXPECT_EQ(dialog->status_text(), "OK");

    ASSERT_EQ(storage->open_trades(kAnn).size(), 1u);
    const int32_t ticket = static_cast<int32_t>(storage->open_trades(kAnn)[0].ticket);
    ASSERT_TRUE(run_until([&] { return view().row_of(ticket) >= 0; }));
    const int row = view().row_of(ticket);
    EXPECT_EQ(view().cell_text(row, TradeColumn::Type), "buy");
    EXPECT_EQ(view().cell_text(row, TradeColumn::Lots), "0.10");
    EXPECT_EQ(view().cell_text(row, TradeColumn::Symbol), "EURUSD");
    EXPECT_FALSE(view().cell_text(row, TradeColumn::Profit).isEmpty());

    // The summary shows the trade base's figures, and the balance is the server's.
    const trade::AccountSummary summary = terminal.services().trade_base->summary();
    EXPECT_GT(summary.margin, 0);
    EXPECT_DOUBLE_EQ(summary.balance, storage->account(kAnn)->balance);
    QStringList lines;
    for (const std::string& line : summary_lines(summary, 2)) lines << QString::fromStdString(line);
    EXPECT_EQ(view().summary_text(), lines.join('\n'));

    const std::string path = home.file("trade_tab.png");
    ASSERT_TRUE(view().grab().save(QString::fromStdString(path), "PNG"));
    EXPECT_GT(platform::file_size(path), 0);
    EXPECT_FALSE(QImage(QString::fromStdString(path), "PNG").isNull());

    ASSERT_TRUE(view().select_ticket(ticket));
    CloseDialog* close = view().open_close_dialog();
    ASSERT_TRUE(close);
    close->set_lots(0.04);
    close->set_deviation(1000);
    ASSERT_EQ(send_and_wait(*close), ReturnCode::Ok) << close->status_text().toStdString();
    ASSERT_EQ(storage->open_trades(kAnn).size(), 1u) << "a partial close leaves the rest open";
    const int32_t rest = static_cast<int32_t>(storage->open_trades(kAnn)[0].ticket);
    ASSERT_TRUE(run_until([&] { return view().row_count() == 1 && view().row_of(rest) >= 0; }));
    EXPECT_EQ(view().cell_text(view().row_of(rest), TradeColumn::Lots), "0.06");

    ASSERT_TRUE(view().select_ticket(rest));
    close = view().open_close_dialog();
    ASSERT_TRUE(close);
    close->set_deviation(1000);
    ASSERT_EQ(send_and_wait(*close), ReturnCode::Ok) << close->status_text().toStdString();
    EXPECT_TRUE(storage->open_trades(kAnn).empty());
    ASSERT_TRUE(run_until([&] { return view().row_count() == 0; }));
    EXPECT_DOUBLE_EQ(terminal.services().trade_base->summary().balance, storage->account(kAnn)->balance);
    EXPECT_DOUBLE_EQ(terminal.services().trade_base->summary().margin, 0);
}

TEST_F(TradeTabLive, APendingOrderIsModifiedAndDeletedFromTheTradeTab) {
    ASSERT_NO_FATAL_FAILURE(log_in(0));
    const double ask = terminal.services().symbols_base->prices("EURUSD")->ask;
    OrderDialog* dialog = view().open_order_dialog("EURUSD");
    ASSERT_TRUE(dialog);
    dialog->set_order(trade::kBuyLimit, 0.2);
    dialog->set_pending(core::normalize(ask - 0.01, 5), 0);
    ASSERT_EQ(send_and_wait(*dialog), ReturnCode::Ok) << dialog->status_text().toStdString();
    ASSERT_EQ(storage->open_trades(kAnn).size(), 1u);
    const int32_t ticket = static_cast<int32_t>(storage->open_trades(kAnn)[0].ticket);
    ASSERT_TRUE(run_until([&] { return view().row_of(ticket) >= 0; }));
    EXPECT_EQ(view().cell_text(view().row_of(ticket), TradeColumn::Profit), "");

    ASSERT_TRUE(view().select_ticket(ticket));
    ModifyDialog* modify = view().open_modify_dialog();
    ASSERT_TRUE(modify);
    const double stop = core::normalize(ask - 0.02, 5);
    modify->set_stops(stop, 0);
    modify->set_pending(core::normalize(ask - 0.01, 5), 0);
    ASSERT_EQ(send_and_wait(*modify), ReturnCode::Ok) << modify->status_text().toStdString();
    EXPECT_DOUBLE_EQ(storage->open_trades(kAnn)[0].stop_loss, stop);

    ASSERT_TRUE(view().select_ticket(ticket));
    EXPECT_EQ(view().multiple_close_by_selected(), ReturnCode::InvalidParameters) << "not a position";
    ASSERT_EQ(view().delete_selected(), ReturnCode::Ok);
    ASSERT_TRUE(run_until([&] { return view().row_count() == 0; }, false));
    EXPECT_TRUE(storage->open_trades(kAnn).empty());
    EXPECT_TRUE(run_until([&] { return view().status_text() == "OK"; }, false)) << view().status_text().toStdString();
}

TEST_F(TradeTabLive, OppositePositionsAreClosedByEachOther) {
    ASSERT_NO_FATAL_FAILURE(log_in(0));
    const int32_t buy = open_position(trade::kBuy, 0.3);
    const int32_t sell = open_position(trade::kSell, 0.1);
    const int32_t other_sell = open_position(trade::kSell, 0.2);
    ASSERT_TRUE(buy && sell && other_sell);
    ASSERT_TRUE(run_until([&] { return view().row_count() == 3; }, false));

    ASSERT_TRUE(view().select_ticket(buy));
    EXPECT_EQ(view().close_by_selected(buy), ReturnCode::InvalidParameters) << "not an opposite position";
    ASSERT_EQ(view().close_by_selected(sell), ReturnCode::Ok);
    ASSERT_TRUE(run_until([&] { return view().row_of(sell) < 0 && view().status_text() == "OK"; }, false))
        << view().status_text().toStdString();
    ASSERT_EQ(storage->open_trades(kAnn).size(), 2u) << "the rest of the buy and the other sell";

    ASSERT_TRUE(view().select_ticket(other_sell));
    ASSERT_EQ(view().multiple_close_by_selected(), ReturnCode::Ok);
    ASSERT_TRUE(run_until([&] { return view().row_count() == 0; }, false));
    EXPECT_TRUE(storage->open_trades(kAnn).empty());
}

TEST_F(TradeTabLive, AnOrderByRequestTradesAtTheDealersAcceptedPrice) {
    ASSERT_NO_FATAL_FAILURE(log_in(0, "request"));
    OrderDialog* dialog = view().open_order_dialog("EURUSD");
    ASSERT_TRUE(dialog);
    dialog->set_order(trade::kBuy, 0.1);
    ASSERT_EQ(send_and_wait(*dialog), ReturnCode::Ok) << dialog->status_text().toStdString();
    ASSERT_TRUE(dialog->price_question_open()) << dialog->status_text().toStdString();
    EXPECT_TRUE(storage->open_trades(kAnn).empty()) << "nothing before the price is accepted";

    std::optional<ReturnCode> result;
    QObject::connect(dialog, &TradeDialog::finished_with, [&](ReturnCode code) { result = code; });
    ASSERT_EQ(dialog->accept_price(), ReturnCode::Ok) << dialog->status_text().toStdString();
    ASSERT_TRUE(run_until([&] { return result.has_value(); }, false));
    EXPECT_EQ(result, ReturnCode::Ok) << dialog->status_text().toStdString();
    ASSERT_EQ(storage->open_trades(kAnn).size(), 1u);
    EXPECT_DOUBLE_EQ(storage->open_trades(kAnn)[0].open_price, terminal.services().trade_dispatcher->context(0)->last_prices().second);
}

TEST_F(TradeTabLive, MarketExecutionOpensAndClosesAtTheMarket) {
    ASSERT_NO_FATAL_FAILURE(log_in(0, "market"));
    const int32_t ticket = open_position(trade::kSell, 0.1);
    ASSERT_NE(ticket, 0);
    ASSERT_TRUE(run_until([&] { return view().row_of(ticket) >= 0; }, false));
    ASSERT_TRUE(view().select_ticket(ticket));
    CloseDialog* close = view().open_close_dialog();
    ASSERT_TRUE(close);
    ASSERT_EQ(send_and_wait(*close), ReturnCode::Ok) << close->status_text().toStdString();
    EXPECT_TRUE(storage->open_trades(kAnn).empty());
}

TEST_F(TradeTabLive, ARequoteAsksWhetherToTradeAtTheNewPrice) {
    ASSERT_NO_FATAL_FAILURE(log_in(1));
    OrderDialog* dialog = view().open_order_dialog("EURUSD");
    ASSERT_TRUE(dialog);
    dialog->set_order(trade::kSell, 0.1);
    ASSERT_EQ(send_and_wait(*dialog), ReturnCode::Requote) << dialog->status_text().toStdString();
    EXPECT_TRUE(dialog->price_question_open());
    EXPECT_TRUE(dialog->status_text().startsWith("Requote ")) << dialog->status_text().toStdString();

    dialog->refuse_price();
    EXPECT_FALSE(dialog->price_question_open());
    EXPECT_TRUE(storage->open_trades(kAnn).empty()) << "a refused requote opens nothing";

    // Every order of this group is requoted, so the accepted price meets a new question.
    ASSERT_EQ(send_and_wait(*dialog), ReturnCode::Requote);
    std::optional<ReturnCode> result;
    QObject::connect(dialog, &TradeDialog::finished_with, [&](ReturnCode code) { result = code; });
    ASSERT_EQ(dialog->accept_price(), ReturnCode::Ok) << dialog->status_text().toStdString();
    ASSERT_TRUE(run_until([&] { return result.has_value(); }, false));
    EXPECT_EQ(result, ReturnCode::Requote);
    EXPECT_EQ(terminal.services().trade_base->requotes().size(), 3u) << "each requote is kept for the question";
}

}  // namespace
}  // namespace kb::ui
