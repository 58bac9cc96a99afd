#include <gtest/gtest.h>

#include <QAction>
#include <QImage>
#include <QKeyEvent>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QColorDialog>
#include <QLineEdit>
#include <QMenu>
#include <QSpinBox>
#include <QMouseEvent>
#include <QApplication>
#include <memory>
#include <string>
#include <vector>

#include "chart/catalogue/indicator_catalogue.h"
#include "core/fixed_text.h"
#include "core/notifications.h"
#include "core/settings_store.h"
#include "core/terminal.h"
#include "market/history_center.h"
#include "market/symbols_base.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "tests/market/market_test_support.h"
#include "tests/support/temp_folder.h"
#include "tests/ui/qt_application.h"
#include "chart/model/chart_geometry.h"
#include "trade/trade_base.h"
#include "ui/chart_view.h"
#include "ui/indicator_dialog.h"

namespace kb::ui {
namespace {

using market::testing::all_day_symbol;
using market::testing::hst_bytes;

constexpr int32_t kMonday = 1796601600;   // 2026-12-07 00:00:00 UTC
constexpr size_t kMaxBars = 5000;
constexpr int kBarCount = 300;

// A profile with indicators over the prices and in two sub-windows.
constexpr const char* kProfile =
    "<chart>\nsymbol=EURUSD\nperiod=60\nscale=8\ngraphmode=1\ngrid=1\nohlc=1\ncolor_scheme=2\nscroll=1\n"
    "<window>\nheight=100\n<indicator>\nname=main\n</indicator>\n"
    "<indicator>\nname=Moving Average\nperiod=14\nshift=0\nmethod=1\napply=0\ncolor=255\nstyle=0\nweight=1\n"
    "period_flags=511\n</indicator>\n</window>\n"
    "<window>\nheight=40\n<indicator>\nname=MACD\nfast_ema=12\nslow_ema=26\nmacd_sma=9\napply=0\n"
    "period_flags=511\n</indicator>\n</window>\n"
    "<window>\nheight=40\n<indicator>\nname=Relative Strength Index\nperiod=14\napply=0\ncolor=16711680\n"
    "style=0\nweight=1\nlevels_color=12632256\nlevels_style=1\nlevels_weight=1\nlevel_0=30.0000\n"
    "level_1=70.0000\nperiod_flags=511\n</indicator>\n</window>\n</chart>\n";

std::vector<market::BarRecord> walk(int count) {
    std::vector<market::BarRecord> bars;
    double price = 1.1;
    uint32_t state = 11;
    for (int i = 0; i < count; ++i) {
        state = state * 1664525u + 1013904223u;
        const double change = (static_cast<double>(state >> 8) / 16777216.0 - 0.5) * 0.002;
        const double open = price;
        const double close = open + change;
        bars.push_back({kMonday - (count - i) * 3600, open, std::min(open, close) - 0.0003,
                        std::max(open, close) + 0.0003, close, static_cast<double>(10 + i % 50)});
        price = close;
    }
    return bars;
}

class ChartViewTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { kb::testing::ensure_qt_application(); }

    ChartViewTest() {
        terminal.display_metrics().dpi_x = terminal.display_metrics().dpi_y = 96;
        EXPECT_TRUE(platform::make_directory(home.file("profiles")));
        EXPECT_TRUE(platform::make_directory(home.file("history")));
        EXPECT_TRUE(platform::make_directory(home.file("history/Demo")));
        write("history/Demo/EURUSD60.hst", hst_bytes("EURUSD", 60, walk(kBarCount)));
        write("history/Demo/EURUSD15.hst", hst_bytes("EURUSD", 15, walk(kBarCount)));
        write("profiles/chart.ini", std::string(kProfile));
        core::Services& services = terminal.services();
        market::HistoryCenter* center = core::create_service(
            services.history_center,
            market::HistoryCenterEnvironment{.settings = {home.path(), "Demo", kMaxBars, kMaxBars}, .clock = clock});
        market::SymbolsBase* symbols =
            core::create_service(services.symbols_base, home.path(), "Demo", nullptr, center);
        center->set_symbols(symbols);
        const market::SymbolRecord known[] = {all_day_symbol("EURUSD", 0), all_day_symbol("GBPUSD", 1)};
        symbols->replace_symbols(known);
    }
    ~ChartViewTest() override {
        view.reset();
        terminal.services().symbols_base.reset();
        terminal.services().history_center.reset();
    }

    void write(const std::string& name, const std::string& text) {
        write(name, std::vector<uint8_t>(text.begin(), text.end()));
    }
    void write(const std::string& name, const std::vector<uint8_t>& bytes) {
        ASSERT_TRUE(platform::write_file_atomic(home.file(name), bytes));
    }
    std::string profile_on_disk() const {
        const std::optional<std::vector<uint8_t>> bytes = platform::read_file(home.file("profiles/chart.ini"));
        return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
    }
    ChartView& make_view() {
        view = std::make_unique<ChartView>(terminal);
        view->resize(480, 640);
        view->show();
        return *view;
    }
    static QAction* find(QMenu& menu, const QString& text) {
        for (QAction* action : menu.actions()) {
            if (action->text() == text) return action;
            if (action->menu())
                if (QAction* inner = find(*action->menu(), text)) return inner;
        }
        return nullptr;
    }
    static void key(QWidget& widget, int code) {
        QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier);
        QApplication::sendEvent(&widget, &press);
    }
    static void mouse(QWidget& widget, QEvent::Type type, QPoint at) {
        const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, QPointF(at), widget.mapToGlobal(QPointF(at)), Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(&widget, &event);
    }
    static void press_ok(IndicatorDialog& dialog) {
        QDialogButtonBox* buttons = dialog.findChild<QDialogButtonBox*>();
        ASSERT_NE(buttons, nullptr);
        buttons->button(QDialogButtonBox::Ok)->click();
    }
    static int count_colour(const QImage& image, const QRect& area, QRgb colour) {
        int n = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x) n += (image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF);
        return n;
    }

    kb::testing::TempFolder home;
    platform::ManualClock clock;
    core::Terminal terminal{home.path(), clock, home.file("settings")};
    std::unique_ptr<ChartView> view;
};

TEST_F(ChartViewTest, LoadsAProfileWithIndicatorsDrawsItAndSavesThePicture) {
    ChartView& chart_view = make_view();
    ASSERT_NE(chart_view.chart(), nullptr);
    ASSERT_EQ(chart_view.chart()->window_count(), 3u);
    EXPECT_EQ(chart_view.chart()->bars().size(), static_cast<size_t>(kBarCount));

    const QImage image = chart_view.picture();
    ASSERT_EQ(image.size(), QSize(480, 640));
    const QString path = QString::fromStdString(home.file("chart.png"));
    ASSERT_TRUE(image.save(path, "PNG"));
    QImage saved(path);
    ASSERT_FALSE(saved.isNull());

    // Black on white: the moving average (red) in the main window, the RSI (blue) in the
    // last window only and MACD's grey histogram in the middle one.
    const chart::Rect main = chart_view.chart()->window_rect(0);
    const chart::Rect macd = chart_view.chart()->window_rect(1);
    const chart::Rect rsi = chart_view.chart()->window_rect(2);
    const auto qrect = [](const chart::Rect& r) { return QRect(r.left, r.top, r.width(), r.height()); };
    EXPECT_GT(count_colour(saved, qrect(main), qRgb(255, 0, 0)), 50);
    EXPECT_EQ(count_colour(saved, qrect(macd), qRgb(0, 0, 255)), 0);
    EXPECT_GT(count_colour(saved, qrect(rsi), qRgb(0, 0, 255)), 50);
    EXPECT_GT(count_colour(saved, qrect(macd), qRgb(0xC0, 0xC0, 0xC0)), 50);
    EXPECT_GT(count_colour(saved, QRect(0, 0, 480, 640), qRgb(255, 255, 255)), 480 * 640 / 2);
}

TEST_F(ChartViewTest, MenuCommandsChangeTheChartAndItsProfileAtOnce) {
    ChartView& chart_view = make_view();
    chart::IndicatorCatalogue catalogue;
    chart_view.set_indicator_catalogue(&catalogue);
    std::unique_ptr<QMenu> menu(chart_view.build_menu(nullptr));

    QAction* m15 = find(*menu, "15 Minutes (M15)");
    ASSERT_NE(m15, nullptr);
    m15->trigger();
    EXPECT_EQ(chart_view.chart()->settings().period, 15);
    EXPECT_NE(profile_on_disk().find("period=15\n"), std::string::npos);

    ASSERT_NE(find(*menu, "Line Chart"), nullptr);
    find(*menu, "Line Chart")->trigger();
    EXPECT_NE(profile_on_disk().find("graphmode=2\n"), std::string::npos);
    QAction* properties = find(*menu, "Properties");
    ASSERT_NE(properties, nullptr);
    find(*properties->menu(), "Volumes")->trigger();
    EXPECT_NE(profile_on_disk().find("volumes=1\n"), std::string::npos);
    find(*menu, "Green on Black")->trigger();
    EXPECT_NE(profile_on_disk().find("color_scheme=1\n"), std::string::npos);

    // An indicator from the list opens its dialog; accepted, it goes into a new sub-window
    // and counts as used.
    QAction* cci = find(*menu, "Commodity Channel Index");
    ASSERT_NE(cci, nullptr);
    cci->trigger();
    IndicatorDialog* dialog = chart_view.findChild<IndicatorDialog*>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->purpose(), IndicatorDialog::Purpose::Add);
    EXPECT_EQ(chart_view.chart()->window_count(), 3u);   // nothing added before OK
    press_ok(*dialog);
    EXPECT_EQ(chart_view.chart()->window_count(), 4u);
    EXPECT_NE(profile_on_disk().find("name=Commodity Channel Index\n"), std::string::npos);
    EXPECT_TRUE(catalogue.changed());
    EXPECT_EQ(catalogue.entries().front().name, "Commodity Channel Index");

    // The delete menu lists it and removes it with its window.
    menu.reset(chart_view.build_menu(nullptr));
    QAction* remove = find(*menu, "CCI(14)");
    ASSERT_NE(remove, nullptr);
    remove->trigger();
    EXPECT_EQ(chart_view.chart()->window_count(), 3u);
    EXPECT_EQ(profile_on_disk().find("Commodity Channel Index"), std::string::npos);
}

// The block of the first indicator of that name in the profile on disk.
std::string block_of(const std::string& profile, const std::string& name) {
    const size_t start = profile.find("name=" + name + "\n");
    if (start == std::string::npos) return {};
    return profile.substr(start, profile.find("</indicator>", start) - start);
}

TEST_F(ChartViewTest, TheIndicatorDialogEditsParametersLinesLevelsRangeAndTimeframes) {
    ChartView& chart_view = make_view();
    IndicatorDialog* dialog = chart_view.open_indicator_dialog(2, 0);   // the RSI
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->purpose(), IndicatorDialog::Purpose::Edit);
    auto* period = qobject_cast<QSpinBox*>(dialog->parameter_widget("period"));
    auto* apply = qobject_cast<QComboBox*>(dialog->parameter_widget("apply"));
    ASSERT_NE(period, nullptr);
    ASSERT_NE(apply, nullptr);
    EXPECT_EQ(period->value(), 14);
    EXPECT_EQ(period->maximum(), 4000);
    EXPECT_EQ(apply->count(), 7);   // the RSI takes no other indicator's data
    EXPECT_EQ(dialog->parameter_widget("shift"), nullptr);
    ASSERT_EQ(dialog->line_count(), 1);
    EXPECT_EQ(dialog->line_colour(0), 0xFF0000u);
    ASSERT_NE(dialog->levels_table(), nullptr);
    ASSERT_EQ(dialog->levels_table()->rowCount(), 2);
    EXPECT_EQ(dialog->levels_table()->item(1, 0)->text(), "70");
    EXPECT_FALSE(dialog->minimum_check()->isChecked());   // the block has no min= line
    EXPECT_TRUE(dialog->timeframe_box(8)->isChecked());

    period->setValue(21);
    apply->setCurrentIndex(apply->findText("Typical Price (HLC/3)"));
    dialog->set_line_colour(0, 0x00FF00);
    dialog->line_style_box(0)->setCurrentIndex(1);
    dialog->line_width_box(0)->setValue(2);
    QTableWidget* levels = dialog->levels_table();
    levels->item(0, 0)->setText("25,5");
    levels->item(0, 1)->setText("oversold");
    levels->setCurrentCell(1, 0);
    dialog->delete_level_button()->click();   // 70 goes
    dialog->add_level_button()->click();
    levels->item(1, 0)->setText("50");
    dialog->level_style_box()->setCurrentIndex(0);
    dialog->level_width_box()->setValue(2);
    dialog->minimum_check()->setChecked(true);
    dialog->minimum_box()->setValue(-10);
    dialog->maximum_check()->setChecked(true);
    dialog->maximum_box()->setValue(110);
    dialog->timeframe_box(8)->setChecked(false);   // not on MN
    press_ok(*dialog);

    EXPECT_EQ(block_of(profile_on_disk(), "Relative Strength Index"),
              "name=Relative Strength Index\nperiod=21\napply=5\ncolor=65280\nstyle=1\nweight=2\n"
              "min=-10.000000\nmax=110.000000\nlevels_color=12632256\nlevels_style=0\nlevels_weight=2\n"
              "level_0=25.5000\ndescription_0=oversold\nlevel_1=50.0000\nperiod_flags=255\n");
    std::string label;
    chart_view.chart()->for_each_window([&](const chart::ChartWindow& window) {
        if (!window.is_main() && window.indicator_count() == 1 && window.indicator(0)->period() == 21)
            label = window.indicator(0)->label();
    });
    EXPECT_EQ(label, "RSI(21)");

    // There is no dialog for a missing indicator.
    EXPECT_EQ(chart_view.open_indicator_dialog(2, 1), nullptr);
    EXPECT_EQ(chart_view.open_indicator_dialog(7, 0), nullptr);
    EXPECT_EQ(chart_view.open_indicator_dialog(0, -1), nullptr);
}

TEST_F(ChartViewTest, TheIndicatorDialogRefusesBadEntriesAndChangesNothing) {
    ChartView& chart_view = make_view();
    const std::string before = profile_on_disk();
    IndicatorDialog* dialog = chart_view.open_indicator_dialog(2, 0);
    ASSERT_NE(dialog, nullptr);
    dialog->levels_table()->item(0, 0)->setText("thirty");
    EXPECT_FALSE(dialog->apply());
    EXPECT_EQ(dialog->error_text(), "Level 1 is not a number");
    dialog->levels_table()->item(0, 0)->setText("30");
    dialog->minimum_check()->setChecked(true);
    dialog->minimum_box()->setValue(100);
    dialog->maximum_check()->setChecked(true);
    dialog->maximum_box()->setValue(100);
    press_ok(*dialog);   // stays open
    EXPECT_EQ(dialog->error_text(), "The fixed minimum must be below the fixed maximum");
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(profile_on_disk(), before);

    // Once the indicator is gone the dialog says so.
    dialog->maximum_check()->setChecked(false);
    ASSERT_TRUE(chart_view.delete_indicator(2, 0));
    EXPECT_FALSE(dialog->apply());
    EXPECT_EQ(dialog->error_text(), "The indicator is no longer on the chart");
}

TEST_F(ChartViewTest, TimeframeBoxesShowAndSetWhereTheIndicatorIsShown) {
    ChartView& chart_view = make_view();
    chart::Chart& chart = *chart_view.chart();
    const auto checked = [](IndicatorDialog& dialog) {
        int count = 0;
        for (int bit = 0; bit < 9; ++bit) count += dialog.timeframe_box(bit)->isChecked();
        return count;
    };
    // No box checked hides the indicator everywhere (0 would show it everywhere).
    IndicatorDialog* dialog = chart_view.open_indicator_dialog(0, 0);   // the moving average
    for (int bit = 0; bit < 9; ++bit) dialog->timeframe_box(bit)->setChecked(false);
    ASSERT_TRUE(dialog->apply());
    dialog->close();
    EXPECT_NE(block_of(profile_on_disk(), "Moving Average").find("period_flags=-1\n"), std::string::npos);
    EXPECT_EQ(checked(*chart_view.open_indicator_dialog(0, 0)), 0);

    const std::pair<int32_t, int> cases[] = {{0, 9}, {511, 9}, {16, 1}, {-1, 0}};
    for (auto [flags, boxes] : cases) {
        ASSERT_TRUE(chart.edit_indicator(0, 0, [flags](chart::CInd& indicator) { indicator.set_period_flags(flags); }));
        IndicatorDialog* shown = chart_view.open_indicator_dialog(0, 0);
        EXPECT_EQ(checked(*shown), boxes) << flags;
        if (flags == 16) {
            EXPECT_TRUE(shown->timeframe_box(4)->isChecked());
        }
        shown->close();
    }
}

TEST_F(ChartViewTest, TheIndicatorDialogOffersEachClassItsOwnParametersAndLines) {
    ChartView& chart_view = make_view();
    // MACD: its three periods, and the signal line's colour under its own keys.
    IndicatorDialog* macd = chart_view.open_indicator_dialog(1, 0);
    ASSERT_NE(macd, nullptr);
    EXPECT_EQ(macd->parameter_widget("period"), nullptr);
    auto* fast = qobject_cast<QSpinBox*>(macd->parameter_widget("fast_ema"));
    ASSERT_NE(fast, nullptr);
    EXPECT_EQ(qobject_cast<QComboBox*>(macd->parameter_widget("apply"))->count(), 9);   // takes indicator data
    ASSERT_EQ(macd->line_count(), 2);
    fast->setValue(10);
    macd->set_line_colour(1, 0x123456);
    ASSERT_TRUE(macd->apply());
    const std::string block = block_of(profile_on_disk(), "MACD");
    EXPECT_NE(block.find("fast_ema=10\n"), std::string::npos) << block;
    EXPECT_NE(block.find("signal_color=1193046\n"), std::string::npos) << block;

    // Over the prices there are no levels and no fixed range.
    IndicatorDialog* average = chart_view.open_indicator_dialog(0, 0);
    EXPECT_EQ(average->levels_table(), nullptr);
    EXPECT_EQ(average->minimum_check(), nullptr);
    ASSERT_NE(qobject_cast<QComboBox*>(average->parameter_widget("method")), nullptr);
    EXPECT_EQ(qobject_cast<QComboBox*>(average->parameter_widget("method"))->currentText(), "Exponential");
}

TEST_F(ChartViewTest, TheColourPickerSetsALinesColour) {
    ChartView& chart_view = make_view();
    IndicatorDialog* dialog = chart_view.open_indicator_dialog(2, 0);
    ASSERT_NE(dialog, nullptr);
    bool picked = false;
    QTimer::singleShot(0, [&picked] {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* picker = qobject_cast<QColorDialog*>(widget); picker && picker->isVisible()) {
                picker->setCurrentColor(QColor(0x11, 0x22, 0x33));
                picker->accept();
                picked = true;
            }
    });
    dialog->line_colour_button(0)->click();
    ASSERT_TRUE(picked);
    EXPECT_EQ(dialog->line_colour(0), 0x332211u);   // 0x00BBGGRR
}

TEST_F(ChartViewTest, ANewIndicatorStartsFromTheStoredDefaultsAndAnEqualOneInItsWindowIsRefused) {
    ChartView& chart_view = make_view();
    terminal.settings().write_number(core::kSectionIndicators, "Stochastic Oscillator_kperiod", 8);
    IndicatorDialog* dialog = chart_view.open_new_indicator_dialog("Stochastic Oscillator");
    ASSERT_NE(dialog, nullptr);
    auto* kperiod = qobject_cast<QSpinBox*>(dialog->parameter_widget("kperiod"));
    ASSERT_NE(kperiod, nullptr);
    EXPECT_EQ(kperiod->value(), 8);
    qobject_cast<QComboBox*>(dialog->parameter_widget("apply"))->setCurrentIndex(1);   // Close/Close
    press_ok(*dialog);
    ASSERT_EQ(chart_view.chart()->window_count(), 4u);
    const std::string block = block_of(profile_on_disk(), "Stochastic Oscillator");
    EXPECT_NE(block.find("kperiod=8\ndperiod=3\nslowing=3\nmethod=0\napply=1\n"), std::string::npos) << block;
    EXPECT_NE(block.find("level_0=20.0000\n"), std::string::npos) << block;

    // An indicator over the prices goes into the main window; one equal to an indicator
    // there (the profile's exponential average of 14 closes) is refused, and the dialog
    // stays open saying why.
    IndicatorDialog* again = chart_view.open_new_indicator_dialog("Moving Average");
    auto* method = qobject_cast<QComboBox*>(again->parameter_widget("method"));
    method->setCurrentIndex(method->findText("Exponential"));
    press_ok(*again);
    EXPECT_TRUE(again->isVisible());
    EXPECT_EQ(again->error_text(), "The chart already shows this indicator with these parameters");
    EXPECT_EQ(chart_view.chart()->indicator_count(0), 1u);
    method->setCurrentIndex(method->findText("Smoothed"));
    press_ok(*again);
    EXPECT_FALSE(again->isVisible());
    EXPECT_EQ(chart_view.chart()->indicator_count(0), 2u);
    // Cancelled, nothing is added.
    chart_view.open_new_indicator_dialog("Parabolic SAR")->reject();
    EXPECT_EQ(chart_view.chart()->indicator_count(0), 2u);
    EXPECT_EQ(chart_view.open_new_indicator_dialog("No Such Indicator"), nullptr);

}

TEST_F(ChartViewTest, KeysAndDraggingScrollAndZoomAndTheCrosshairFollowsThePointer) {
    ChartView& chart_view = make_view();
    chart::Chart& chart = *chart_view.chart();
    const int newest = chart.settings().leftpos;
    ASSERT_GT(newest, 0);

    key(chart_view, Qt::Key_Left);
    EXPECT_EQ(chart.settings().leftpos, newest - 1);
    key(chart_view, Qt::Key_End);
    EXPECT_EQ(chart.settings().leftpos, newest);
    // Dragging right by 10 bars shows older bars.
    mouse(chart_view, QEvent::MouseButtonPress, QPoint(100, 100));
    mouse(chart_view, QEvent::MouseMove, QPoint(180, 100));
    mouse(chart_view, QEvent::MouseButtonRelease, QPoint(180, 100));
    EXPECT_EQ(chart.settings().leftpos, newest - 10);

    key(chart_view, Qt::Key_Plus);
    EXPECT_EQ(chart.settings().scale, 16);
    key(chart_view, Qt::Key_Minus);
    EXPECT_EQ(chart.settings().scale, 8);

    chart_view.set_crosshair(true);
    mouse(chart_view, QEvent::MouseButtonPress, QPoint(50, 60));
    EXPECT_EQ(chart.settings().cursor_x, 50);
    EXPECT_EQ(chart.settings().cursor_y, 60);
    EXPECT_EQ(chart.settings().leftpos, newest - 10);   // no scrolling in crosshair mode
    mouse(chart_view, QEvent::MouseButtonRelease, QPoint(50, 60));
    // Touching the crosshair box ends the mode.
    const chart::Rect drawing = chart::drawing_rect(chart.settings());
    mouse(chart_view, QEvent::MouseButtonPress, QPoint(drawing.right - 5, drawing.top + 5));
    mouse(chart_view, QEvent::MouseButtonRelease, QPoint(drawing.right - 5, drawing.top + 5));
    EXPECT_EQ(chart.settings().crosshair, 0);
}

TEST_F(ChartViewTest, TheMarketWatchEntryAndNewBarsReachTheChart) {
    ChartView& chart_view = make_view();
    EXPECT_TRUE(chart_view.open_symbol("GBPUSD"));
    EXPECT_EQ(chart_view.chart()->settings().symbol, "GBPUSD");
    EXPECT_FALSE(chart_view.open_symbol("NOSUCH"));
    EXPECT_EQ(chart_view.chart()->settings().symbol, "GBPUSD");
    EXPECT_TRUE(chart_view.open_symbol("EURUSD"));

    // A quote that builds on the newest bar reaches the chart through code 2.
    const int updates = chart_view.bar_updates();
    terminal.services().history_center->on_tick(market::testing::make_tick(0, kMonday + 10, 1.3f, 1.3002f));
    chart_view.forward(core::Notification::Quotes, 0);
    EXPECT_EQ(chart_view.bar_updates(), updates + 1);
    EXPECT_NEAR(chart_view.chart()->bars().back().close, 1.3, 1e-9);
    // Without a trade base an order's symbol can't be shown.
    EXPECT_FALSE(chart_view.show_order_symbol(501));
}

TEST_F(ChartViewTest, AnOpenOrdersSymbolIsShownByItsTicket) {
    trade::TradeBase* trades = core::create_service(terminal.services().trade_base,
                                                    terminal.services().symbols_base.get(), nullptr, nullptr, clock);
    trade::AccountData account{};
    account.login = 5001;
    trade::TradeRecord order{};
    order.ticket = 501;
    order.login = 5001;
    core::set_field_text(order.symbol, "GBPUSD");
    order.type = trade::kBuyLimit;
    order.volume = 100;
    order.open_price = 1.1;
    const trade::TradeRecord open[] = {order};
    trades->set_account(account, open);

    ChartView& chart_view = make_view();
    EXPECT_FALSE(chart_view.show_order_symbol(999));
    EXPECT_EQ(chart_view.chart()->settings().symbol, "EURUSD");
    EXPECT_TRUE(chart_view.show_order_symbol(501));
    EXPECT_EQ(chart_view.chart()->settings().symbol, "GBPUSD");
    view.reset();
    terminal.services().trade_base.reset();
}

TEST_F(ChartViewTest, EveryMenuCommandIsWrittenToTheProfileAtOnce) {
    ChartView& chart_view = make_view();
    // Each entry with the profile line it must leave (the fixture's profile has the opposite).
    struct Case {
        const char* submenu;   // null: anywhere in the menu
        const char* entry;
        const char* line;      // what the profile must hold afterwards (the fixture's has the opposite)
    } cases[] = {
        {nullptr, "Bar Chart", "graphmode=0\n"},
        {nullptr, "Candlesticks", "graphmode=1\n"},
        {nullptr, "Line Chart", "graphmode=2\n"},
        {"Colors", "Yellow on Black", "color_scheme=0\n"},
        {"Colors", "Green on Black", "color_scheme=1\n"},
        {"Colors", "Black on White", "color_scheme=2\n"},
        {"Properties", "Grid", "grid=0\n"},
        {"Properties", "Volumes", "volumes=1\n"},
        {"Properties", "Period Separators", "days=1\n"},
        {"Properties", "Ask Line", "askline=1\n"},
        {"Properties", "OHLC", "ohlc=0\n"},
        {"Properties", "Trade Levels", "trade_levels=1\n"},
        {"Properties", "Chart on foreground", "foreground=1\n"},
        {"Properties", "Chart Shift", "shift=1\n"},
        {"Properties", "Auto Scroll", "scroll=0\n"},
        {"Periodicity", "4 Hours (H4)", "period=240\n"},
        {"Periodicity", "Monthly (MN)", "period=43200\n"},
        {"Periodicity", "1 Minute (M1)", "period=1\n"},
        {nullptr, "Zoom In", "scale=16\n"},
        {nullptr, "Zoom Out", "scale=8\n"},
    };
    for (const Case& c : cases) {
        std::unique_ptr<QMenu> menu(chart_view.build_menu(nullptr));
        QMenu* where = menu.get();
        if (c.submenu) {
            QAction* submenu = find(*menu, c.submenu);
            ASSERT_NE(submenu, nullptr) << c.submenu;
            where = submenu->menu();
        }
        QAction* action = find(*where, c.entry);
        ASSERT_NE(action, nullptr) << c.entry;
        action->trigger();
        EXPECT_NE(profile_on_disk().find(c.line), std::string::npos) << c.entry << " should write " << c.line;
    }
    // Scrolling is a change too.
    key(chart_view, Qt::Key_Home);
    EXPECT_NE(profile_on_disk().find("leftpos=0\n"), std::string::npos);
}

TEST_F(ChartViewTest, TheSymbolMenuOffersMarketWatchsSymbols) {
    market::SymbolsBase& symbols = *terminal.services().symbols_base;
    ASSERT_TRUE(symbols.select("GBPUSD", market::Shown::Yes, market::Save::No));
    QStringList shown;
    for (size_t i = 0; i < symbols.selected_count(); ++i)
        if (symbols.selected_at(i)->shown) shown << QString::fromStdString(std::string(core::field_text(symbols.selected_at(i)->name)));
    ChartView& chart_view = make_view();
    std::unique_ptr<QMenu> menu(chart_view.build_menu(nullptr));
    QAction* symbol = find(*menu, "Symbol");
    ASSERT_NE(symbol, nullptr);
    QStringList offered;
    for (QAction* action : symbol->menu()->actions()) offered << action->text();
    EXPECT_EQ(offered, shown);
    EXPECT_TRUE(offered.contains("GBPUSD"));
    EXPECT_TRUE(find(*symbol->menu(), "EURUSD")->isChecked());
    find(*symbol->menu(), "GBPUSD")->trigger();
    EXPECT_EQ(chart_view.chart()->settings().symbol, "GBPUSD");
    EXPECT_NE(profile_on_disk().find("symbol=GBPUSD\n"), std::string::npos);
}

TEST_F(ChartViewTest, TheIndicatorListFollowsTheCatalogueOrder) {
    ChartView& chart_view = make_view();
    const auto listed = [&] {
        std::unique_ptr<QMenu> menu(chart_view.build_menu(nullptr));
        QStringList names;
        for (QAction* action : find(*menu, "Indicators")->menu()->actions()) names << action->text();
        return names;
    };
    QStringList alphabetical = listed();   // without a catalogue: the built-in order
    ASSERT_EQ(alphabetical.size(), 30);
    EXPECT_EQ(alphabetical.front(), "Accelerator Oscillator");
    EXPECT_EQ(alphabetical.back(), "Williams' Percent Range");

    chart::IndicatorCatalogue catalogue;
    catalogue.note_use("Volumes", 1000);
    catalogue.note_use("Momentum", 2000);
    catalogue.note_use("Volumes", 3000);
    chart_view.set_indicator_catalogue(&catalogue);
    const QStringList by_use = listed();
    ASSERT_EQ(by_use.size(), 30);
    EXPECT_EQ(by_use[0], "Volumes");
    EXPECT_EQ(by_use[1], "Momentum");
    EXPECT_EQ(by_use[2], "Accelerator Oscillator");
}

TEST_F(ChartViewTest, ScrollingPastTheOldestBarAndRefreshAskTheHistory) {
    ChartView& chart_view = make_view();
    market::HistoryCenter& center = *terminal.services().history_center;
    const std::string symbol = chart_view.chart()->settings().symbol;
    // The server answers each request with no bars but says its data reach back before
    // the oldest bar, so asking for older bars is worth it.
    const int32_t covered = chart_view.chart()->bars().front().time - 1000 * 3600;
    const auto answered = [&] {
        center.take_requests();
        center.import(symbol, 60, covered, std::span<const market::WireBar28>());
    };
    answered();
    key(chart_view, Qt::Key_Home);
    EXPECT_EQ(chart_view.chart()->settings().leftpos, 0);
    EXPECT_EQ(center.queued_requests(), 0u) << "reaching the oldest bar asks nothing yet";
    key(chart_view, Qt::Key_Left);
    std::vector<market::ChartRequest> requests = center.take_requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].bar_count, chart_view.chart()->settings().visible_bars / 2);
    EXPECT_EQ(requests[0].from_time, chart_view.chart()->bars().front().time);

    // Dragging right past the oldest bar asks too.
    answered();
    mouse(chart_view, QEvent::MouseButtonPress, QPoint(100, 100));
    mouse(chart_view, QEvent::MouseMove, QPoint(180, 100));
    mouse(chart_view, QEvent::MouseButtonRelease, QPoint(180, 100));
    EXPECT_EQ(chart_view.chart()->settings().leftpos, 0);
    EXPECT_EQ(center.take_requests().size(), 1u);

    std::unique_ptr<QMenu> menu(chart_view.build_menu(nullptr));
    find(*menu, "Refresh")->trigger();
    const std::optional<market::HistoryState> state = center.state(symbol, 60);
    ASSERT_TRUE(state.has_value());
    EXPECT_TRUE(state->sync_requested);
}

TEST_F(ChartViewTest, AClosedOrdersSymbolIsShownByItsTicket) {
    trade::TradeBase* trades = core::create_service(terminal.services().trade_base,
                                                    terminal.services().symbols_base.get(), nullptr, nullptr, clock);
    trade::AccountData account{};
    account.login = 5001;
    trades->set_account(account, {});
    trade::TradeRecord closed{};
    closed.ticket = 320;
    closed.login = 5001;
    core::set_field_text(closed.symbol, "GBPUSD");
    closed.type = trade::kSell;
    closed.volume = 100;
    const trade::TradeRecord history[] = {closed};
    ASSERT_TRUE(trades->set_history(history));

    ChartView& chart_view = make_view();
    EXPECT_FALSE(chart_view.show_order_symbol(321));
    EXPECT_TRUE(chart_view.show_order_symbol(320));
    EXPECT_EQ(chart_view.chart()->settings().symbol, "GBPUSD");
    view.reset();
    terminal.services().trade_base.reset();
}

TEST_F(ChartViewTest, ANewIndicatorOnAnotherIndicatorsDataGoesIntoTheChosenWindow) {
    ChartView& chart_view = make_view();
    const auto offered = [](IndicatorDialog& dialog) {
        QStringList texts;
        for (int i = 0; i < dialog.window_box()->count(); ++i) texts << dialog.window_box()->itemText(i);
        return texts;
    };
    // Without another indicator's data: over the prices only, or in a new window only.
    IndicatorDialog* sar = chart_view.open_new_indicator_dialog("Parabolic SAR");
    EXPECT_EQ(offered(*sar), QStringList{"Main window"});
    EXPECT_FALSE(sar->window_box()->isEnabled());
    sar->reject();
    IndicatorDialog* cci = chart_view.open_new_indicator_dialog("Commodity Channel Index");
    EXPECT_EQ(offered(*cci), QStringList{"New window"});
    cci->reject();

    // A moving average of the RSI's values, in the RSI's window.
    IndicatorDialog* average = chart_view.open_new_indicator_dialog("Moving Average");
    EXPECT_EQ(offered(*average),
              (QStringList{"Main window", "New window", "Window 1: MACD(12,26,9)", "Window 2: RSI(14)"}));
    average->window_box()->setCurrentIndex(3);
    auto* apply = qobject_cast<QComboBox*>(average->parameter_widget("apply"));
    apply->setCurrentIndex(apply->findText("First Indicator's Data"));
    press_ok(*average);
    ASSERT_EQ(chart_view.chart()->indicator_count(2), 2u);
    double last_rsi = 0, last_average = 0;
    chart_view.chart()->for_each_window([&](const chart::ChartWindow& window) {
        if (window.indicator_count() != 2 || window.is_main()) return;
        last_rsi = window.indicator(0)->buffer(0).back();
        last_average = window.indicator(1)->buffer(0).back();
        EXPECT_EQ(window.indicator(1)->apply(), 8);
    });
    // Averaged RSI values lie on the RSI's scale, far from the prices (about 1.1).
    EXPECT_GT(last_rsi, 5.0);
    EXPECT_GT(last_average, 5.0);
    EXPECT_LT(last_average, 100.0);
    const std::string profile = profile_on_disk();
    const size_t rsi = profile.find("name=Relative Strength Index");
    EXPECT_NE(profile.find("name=Moving Average\nperiod=14\nshift=0\nmethod=0\napply=8\n", rsi), std::string::npos)
        << profile;
}

}  // namespace
}  // namespace kb::ui
