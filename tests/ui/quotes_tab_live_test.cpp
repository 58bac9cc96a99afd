#include <gtest/gtest.h>

// Before any Qt header: the configuration has a member that Qt's "slots" macro would rename.
#include "config/terminal_config.h"

#include <QCoreApplication>
#include <QImage>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

#include "core/fixed_text.h"
#include "core/terminal.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/sound.h"
#include "session/server_session.h"
#include "tests/server/login_data_fixture.h"
#include "tests/support/temp_folder.h"
#include "tests/ui/qt_application.h"
#include "ui/main_window.h"
#include "ui/market_watch_view.h"
#include "ui/qt_notifier.h"
#include "ui/composition_root.h"

namespace kb::ui {
namespace {

struct NoProcesses final : platform::ProcessStarter {
    bool start_detached(const std::vector<std::string>&) override { return false; }
};

const QColor kBlue(0, 0, 255), kRed(255, 0, 0);

bool coloured(const QColor& colour) { return colour == kBlue || colour == kRed; }

// Every row has a quote and its bid is blue or red.
bool live_and_coloured(const MarketWatchView& view) {
    const int bid = view.column_of(MarketWatchColumn::Bid);
    if (view.rowCount() == 0) return false;
    for (int row = 0; row < view.rowCount(); ++row) {
        const QTableWidgetItem* cell = view.item(row, bid);
        if (!cell || cell->text().isEmpty() || cell->text().toDouble() <= 0 || !coloured(cell->foreground().color()))
            return false;
    }
    return true;
}

size_t pixels_of(const QImage& image, const QColor& colour) {
    size_t n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) n += image.pixelColor(x, y) == colour;
    return n;
}

// The login data server's instruments, with the list order a broker gives them: the
// default selection takes one symbol per sort key.
std::string ordered_config() {
    std::string text = server::testing_support::login_data_config();
    for (auto [name, key] : {std::pair{"EURUSD", "1"}, std::pair{"XAUUSD", "2"}}) {
        const std::string field = std::string("{\"name\": \"") + name + "\",";
        const size_t at = text.find(field);
        if (at != std::string::npos) text.insert(at + field.size(), std::string(" \"sort_key\": ") + key + ",");
    }
    return text;
}

class QuotesTabLive : public server::testing_support::LoginDataServer {
protected:
    static void SetUpTestSuite() { kb::testing::ensure_qt_application(); }
    void SetUp() override { start(ordered_config()); }
};

// The terminal's services, session and window in real time against the demo server on
// loopback; the server's prices move as the test advances its clock.
TEST_F(QuotesTabLive, AfterLoginTheQuotesTabShowsLiveColouredPrices) {
    kb::testing::TempFolder home;
    platform::SilentSoundPlayer sound;
    NoProcesses starter;
    CompositionRoot factory(sound, starter);
    core::Terminal terminal(home.path(), platform::system_clock(), home.file("settings"));
    terminal.start(&factory);
    ASSERT_TRUE(terminal.services().terminal_config);
    config::TerminalConfig& configuration = *terminal.services().terminal_config;
    config::LoginRecord record = configuration.login_record();
    record.login = 1001;
    std::memset(record.password, 0, sizeof record.password);
    core::set_field_text(record.password, "secret1");
    std::memset(record.server, 0, sizeof record.server);
    core::set_field_text(record.server, "127.0.0.1:" + std::to_string(server->trade_port()));
    configuration.set_login_record(record);

    auto window = std::make_unique<MainWindow>(terminal);
    QtNotifier notifier;
    notifier.set_window(window.get());
    terminal.set_notifier(&notifier);
    window->resize(480, 640);
    window->show();
    MarketWatchView& view = *window->quotes_view();
    session::ServerSession* session = terminal.services().server_session.get();
    ASSERT_TRUE(session);
    session->start();

    bool live = false;
    for (int step = 0; step < 1000 && !live; ++step) {
        clock.advance_ms(1000);
        server->feed().pump();
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        live = live_and_coloured(view);
    }
    EXPECT_TRUE(live) << "rows: " << view.rowCount();
    EXPECT_EQ(view.rowCount(), 2) << "the default selection: both instruments";
    EXPECT_GE(view.row_of("EURUSD"), 0);
    EXPECT_GE(view.row_of("XAUUSD"), 0);

    const std::string path = home.file("quotes_tab.png");
    ASSERT_TRUE(view.grab().save(QString::fromStdString(path), "PNG"));
    EXPECT_GT(platform::file_size(path), 0);
    const QImage image(QString::fromStdString(path), "PNG");
    ASSERT_FALSE(image.isNull());
    EXPECT_GT(pixels_of(image, kBlue) + pixels_of(image, kRed), 0u) << "the direction images of the rows";

    // The terminal's own order: the window and its chart go before the services they show.
    session->stop();
    terminal.set_notifier(nullptr);
    notifier.set_window(nullptr);
    window.reset();
    terminal.shutdown();
}

}  // namespace
}  // namespace kb::ui
