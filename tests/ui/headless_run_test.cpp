#include <gtest/gtest.h>
#include <signal.h>

#include <QEventLoop>
#include <QImage>
#include <QTimer>

#include "core/terminal.h"
#include "platform/clock.h"
#include "tests/support/temp_folder.h"
#include "tests/ui/qt_application.h"
#include "ui/main_window.h"
#include "ui/signal_closer.h"
#include "ui/window_snapshot.h"

namespace kb::ui {
namespace {

struct HeadlessRun : ::testing::Test {
    static void SetUpTestSuite() { kb::testing::ensure_qt_application(); }

    kb::testing::TempFolder home;
    platform::ManualClock clock;
    core::Terminal terminal{home.path(), clock, home.file("settings")};
};

TEST_F(HeadlessRun, SnapshotIsAPngOfTheWholeWindow) {
    MainWindow window(terminal);
    window.show();
    std::string path = home.file("snapshot.png");
    WindowSnapshot snapshot(window, QString::fromStdString(path), 3);
    ASSERT_TRUE(snapshot.save());
    QImage image(QString::fromStdString(path), "PNG");
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), window.grab().size());

    WindowSnapshot unwritable(window, QString::fromStdString(home.file("missing/snapshot.png")), 3);
    EXPECT_FALSE(unwritable.save());
}

TEST_F(HeadlessRun, TerminateSignalClosesTheWindow) {
    MainWindow window(terminal);
    window.show();
    SignalCloser closer(window);
    ASSERT_TRUE(closer.active());
    ASSERT_EQ(::raise(SIGTERM), 0);

    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (!window.isVisible()) loop.quit();
    });
    poll.start(10);
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_FALSE(window.isVisible());
}

}  // namespace
}  // namespace kb::ui
