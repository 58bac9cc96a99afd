// Chart objects in the Chart tab: drawn from the profile into the picture, drawn and edited
// with simulated pointer events and keys, and edited through their properties dialog, each
// change reaching the saved profile.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QSpinBox>
#include <QTableWidget>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "chart/render/chart_renderer.h"
#include "core/settings_store.h"
#include "core/terminal.h"
#include "market/history_center.h"
#include "market/symbols_base.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "tests/market/market_test_support.h"
#include "tests/support/temp_folder.h"
#include "tests/ui/qt_application.h"
#include "ui/chart_object_tool.h"
#include "ui/chart_view.h"
#include "ui/object_dialog.h"

namespace kb::ui {
namespace {

using market::testing::all_day_symbol;
using market::testing::hst_bytes;

constexpr int32_t kMonday = 1796601600;   // 2026-12-07 00:00:00 UTC
constexpr int kHour = 3600;
constexpr int kBarCount = 200;
constexpr size_t kMaxBars = 5000;

// Hourly bars between 1.1000 and 1.3000 (a slow wave), the newest at kMonday.
std::vector<market::BarRecord> wave() {
    std::vector<market::BarRecord> bars;
    for (int i = 0; i < kBarCount; ++i) {
        const double open = 1.2 + 0.09 * ((i % 40) < 20 ? (i % 20) / 20.0 : 1 - (i % 20) / 20.0) - 0.045;
        const double close = open + (i % 2 ? 0.002 : -0.002);
        bars.push_back({kMonday - (kBarCount - 1 - i) * kHour, open, std::min(open, close) - 0.001,
                        std::max(open, close) + 0.001, close, 10.0});
    }
    bars[0].low = 1.1;
    bars[kBarCount - 1].high = 1.3;
    return bars;
}

// A moving average over the prices, an RSI below, and two objects over the prices: a
// green horizontal line 2 pixels wide at 1.2 and a blue vertical line.
const std::string kObjects =
    "<object>\ntype=3\ncounter=501\nperiod_flags=511\ncreate_time=1796500000\nperiod=60\nsymbol=EURUSD\n"
    "color=65280\nstyle=0\nweight=2\nbackground=0\nvalue_0=1.200000\n</object>\n"
    "<object>\ntype=2\ncounter=502\nperiod_flags=511\ncreate_time=1796500000\nperiod=60\nsymbol=EURUSD\n"
    "color=16711680\nstyle=0\nweight=1\nbackground=0\ntime_0=1796580000\n</object>\n";
const std::string kProfile =
    "<chart>\nsymbol=EURUSD\nperiod=60\nscale=8\ngraphmode=1\nohlc=0\ncolor_scheme=2\nscroll=1\n"
    "<window>\nheight=100\n<indicator>\nname=main\n" + kObjects + "</indicator>\n"
    "<indicator>\nname=Moving Average\nperiod=14\nshift=0\nmethod=1\napply=0\ncolor=255\nstyle=0\nweight=1\n"
    "period_flags=511\n</indicator>\n</window>\n"
    "<window>\nheight=40\n<indicator>\nname=Relative Strength Index\nperiod=14\napply=0\ncolor=16711680\n"
    "style=0\nweight=1\nperiod_flags=511\n</indicator>\n</window>\n</chart>\n";

// The "<object>" block of type in a profile text, from "<object>" to "</object>"; empty
// when none.
std::string block_of_type(const std::string& profile, int type) {
    const size_t start = profile.find("<object>\ntype=" + std::to_string(type) + "\n");
    if (start == std::string::npos) return {};
    return profile.substr(start, profile.find("</object>\n", start) + 10 - start);
}

// The number after "key=" in a block; NaN when the key is missing.
double value_of(const std::string& block, const std::string& key) {
    const size_t at = block.find("\n" + key + "=");
    if (at == std::string::npos) return std::nan("");
    return std::strtod(block.c_str() + at + key.size() + 2, nullptr);
}

class ChartObjectsView : public ::testing::Test {
protected:
    static void SetUpTestSuite() { kb::testing::ensure_qt_application(); }

    ChartObjectsView() {
        terminal.display_metrics().dpi_x = terminal.display_metrics().dpi_y = 96;
        EXPECT_TRUE(platform::make_directory(home.file("profiles")));
        EXPECT_TRUE(platform::make_directory(home.file("history")));
        EXPECT_TRUE(platform::make_directory(home.file("history/Demo")));
        write("history/Demo/EURUSD60.hst", hst_bytes("EURUSD", 60, wave()));
        write("profiles/chart.ini", std::vector<uint8_t>(kProfile.begin(), kProfile.end()));
        core::Services& services = terminal.services();
        market::HistoryCenter* center = core::create_service(
            services.history_center,
            market::HistoryCenterEnvironment{.settings = {home.path(), "Demo", kMaxBars, kMaxBars}, .clock = clock});
        market::SymbolsBase* symbols =
            core::create_service(services.symbols_base, home.path(), "Demo", nullptr, center);
        center->set_symbols(symbols);
        const market::SymbolRecord known[] = {all_day_symbol("EURUSD", 0)};
        symbols->replace_symbols(known);
        view = std::make_unique<ChartView>(terminal);
        view->resize(480, 640);
        view->show();
        chart = view->chart();
    }
    ~ChartObjectsView() override {
        view.reset();
        terminal.services().symbols_base.reset();
        terminal.services().history_center.reset();
    }

    void write(const std::string& name, const std::vector<uint8_t>& bytes) {
        ASSERT_TRUE(platform::write_file_atomic(home.file(name), bytes));
    }
    std::string profile_on_disk() const {
        const std::optional<std::vector<uint8_t>> bytes = platform::read_file(home.file("profiles/chart.ini"));
        return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
    }
    void mouse(QEvent::Type type, QPoint at, Qt::KeyboardModifiers keys = Qt::NoModifier) {
        const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, QPointF(at), view->mapToGlobal(QPointF(at)), Qt::LeftButton, buttons, keys);
        QApplication::sendEvent(view.get(), &event);
    }
    void drag(QPoint from, QPoint to, Qt::KeyboardModifiers keys = Qt::NoModifier) {
        mouse(QEvent::MouseButtonPress, from, keys);
        mouse(QEvent::MouseMove, (from + to) / 2, keys);
        mouse(QEvent::MouseMove, to, keys);
        mouse(QEvent::MouseButtonRelease, to, keys);
    }
    void key(int code) {
        QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier);
        QApplication::sendEvent(view.get(), &press);
    }
    // Bar positions: leftpos sits one pixel inside the drawing rectangle (x = 4), 8 pixels
    // a bar at scale 8.
    int x_of_bar(int position) const { return 4 + (position - chart->settings().leftpos) * 8; }
    int32_t time_of_bar(int position) const { return kMonday - (kBarCount - 1 - position) * kHour; }
    chart::PriceAxis main_axis() const {
        const std::optional<chart::PriceAxis> axis = chart::object_price_axis(*chart, 0);
        EXPECT_TRUE(axis.has_value());
        return axis.value_or(chart::PriceAxis{});
    }
    // The price one pixel row stands for in the main window.
    double pixel_price() const {
        const chart::PriceAxis axis = main_axis();
        return (axis.maximum - axis.minimum) / (axis.bottom - axis.top);
    }
    static QAction* find(QMenu& menu, const QString& text) {
        for (QAction* action : menu.actions()) {
            if (action->text() == text) return action;
            if (action->menu())
                if (QAction* inner = find(*action->menu(), text)) return inner;
        }
        return nullptr;
    }

    kb::testing::TempFolder home;
    platform::ManualClock clock;
    core::Terminal terminal{home.path(), clock, home.file("settings")};
    std::unique_ptr<ChartView> view;
    chart::Chart* chart = nullptr;
};

TEST_F(ChartObjectsView, LoadsAProfileWithIndicatorsAndObjectsDrawsItAndSavesThePicture) {
    ASSERT_NE(chart, nullptr);
    ASSERT_EQ(chart->window_count(), 2u);
    EXPECT_EQ(chart->object_counters(0), (std::vector<int32_t>{501, 502}));
    const QImage image = view->picture();
    const QString path = QString::fromStdString(home.file("chart.png"));
    ASSERT_TRUE(image.save(path, "PNG"));
    const QImage saved(path);
    ASSERT_EQ(saved.size(), QSize(480, 640));

    // The horizontal line: two green rows across the main window at 1.2.
    const chart::Rect main = chart->window_rect(0);
    const int y = main_axis().y_of(1.2);
    for (int row : {y - 1, y}) {
        int green = 0;
        for (int column = main.left; column < main.right; ++column)
            green += (saved.pixel(column, row) & 0xFFFFFF) == 0x00FF00;
        EXPECT_GT(green, main.width() * 3 / 4) << row;
    }
    // The vertical line at 2026-12-06 18:00, bar 193 of 200: blue down the main window.
    const int x = x_of_bar(193);
    int blue = 0;
    for (int row = main.top + 5; row < main.bottom - 20; ++row) blue += (saved.pixel(x, row) & 0xFFFFFF) == 0x0000FF;
    EXPECT_GT(blue, main.height() / 2);
    // The moving average in red.
    int red = 0;
    for (int row = main.top; row < main.bottom; ++row)
        for (int column = main.left; column < main.right; ++column) red += (saved.pixel(column, row) & 0xFFFFFF) == 0xFF0000;
    EXPECT_GT(red, 50);
}

TEST_F(ChartObjectsView, TrendlineIsDrawnWithThePointerItsHandlesDraggedAndItIsDeleted) {
    std::unique_ptr<QMenu> menu(view->build_menu(nullptr));
    QAction* trendline = find(*menu, "Trendline");
    ASSERT_NE(trendline, nullptr);
    trendline->trigger();
    EXPECT_EQ(view->objects().chosen(), chart::ObjectType::Trendline);

    const int leftpos = chart->settings().leftpos;
    const chart::PriceAxis axis = main_axis();
    const QPoint first(x_of_bar(leftpos + 10), axis.y_of(1.15));
    const QPoint second(x_of_bar(leftpos + 30), axis.y_of(1.25));
    drag(first, second);
    EXPECT_FALSE(view->objects().chosen());   // one object per choice
    ASSERT_TRUE(view->objects().selected());
    std::string block = block_of_type(profile_on_disk(), 4);
    ASSERT_FALSE(block.empty()) << profile_on_disk();
    EXPECT_EQ(value_of(block, "time_0"), time_of_bar(leftpos + 10));
    EXPECT_EQ(value_of(block, "time_1"), time_of_bar(leftpos + 30));
    EXPECT_NEAR(value_of(block, "value_0"), 1.15, pixel_price());
    EXPECT_NEAR(value_of(block, "value_1"), 1.25, pixel_price());
    EXPECT_EQ(value_of(block, "ray"), 1);
    EXPECT_NE(block.find("\nperiod=60\nsymbol=EURUSD\n"), std::string::npos);
    const double value_0 = value_of(block, "value_0");

    // The second anchor's handle to 5 bars further and 1.28: the first anchor stays.
    drag(second, QPoint(x_of_bar(leftpos + 35), axis.y_of(1.28)));
    block = block_of_type(profile_on_disk(), 4);
    EXPECT_EQ(value_of(block, "time_0"), time_of_bar(leftpos + 10));
    EXPECT_EQ(value_of(block, "value_0"), value_0);
    EXPECT_EQ(value_of(block, "time_1"), time_of_bar(leftpos + 35));
    EXPECT_NEAR(value_of(block, "value_1"), 1.28, pixel_price());

    // The middle (bar 22.5 rounds to 23) moved 4 bars right: both anchors move 4 bars.
    const QPoint middle(x_of_bar(leftpos + 23), axis.y_of((value_0 + value_of(block, "value_1")) / 2));
    drag(middle, middle + QPoint(32, 0));
    block = block_of_type(profile_on_disk(), 4);
    EXPECT_EQ(value_of(block, "time_0"), time_of_bar(leftpos + 14));
    EXPECT_EQ(value_of(block, "time_1"), time_of_bar(leftpos + 39));

    // A click beside it clears the selection; a click on it selects it again; Delete
    // removes it from the profile.
    const int32_t counter = *view->objects().selected();
    mouse(QEvent::MouseButtonPress, QPoint(x_of_bar(leftpos + 2), axis.y_of(1.28)));
    mouse(QEvent::MouseButtonRelease, QPoint(x_of_bar(leftpos + 2), axis.y_of(1.28)));
    EXPECT_FALSE(view->objects().selected());
    const QPoint on_line(x_of_bar(leftpos + 24), axis.y_of(value_0 + (value_of(block, "value_1") - value_0) * 10 / 25));
    mouse(QEvent::MouseButtonPress, on_line);
    mouse(QEvent::MouseButtonRelease, on_line);
    EXPECT_EQ(view->objects().selected(), counter);
    EXPECT_EQ(block_of_type(profile_on_disk(), 4), block);   // selecting changes nothing
    key(Qt::Key_Delete);
    EXPECT_TRUE(block_of_type(profile_on_disk(), 4).empty());
    EXPECT_EQ(chart->object_window(counter), -1);
}

TEST_F(ChartObjectsView, ShiftDragsTheOtherAnchorAlong) {
    const int leftpos = chart->settings().leftpos;
    const chart::PriceAxis axis = main_axis();
    view->objects().choose(chart::ObjectType::Trendline);
    const QPoint first(x_of_bar(leftpos + 10), axis.y_of(1.15));
    drag(first, QPoint(x_of_bar(leftpos + 20), axis.y_of(1.25)));
    const std::string drawn = block_of_type(profile_on_disk(), 4);

    // The first anchor 3 bars left and about 0.02 down: the second one follows.
    drag(first, QPoint(x_of_bar(leftpos + 7), axis.y_of(1.13)), Qt::ShiftModifier);
    const std::string moved = block_of_type(profile_on_disk(), 4);
    EXPECT_EQ(value_of(moved, "time_0"), time_of_bar(leftpos + 7));
    EXPECT_EQ(value_of(moved, "time_1"), time_of_bar(leftpos + 17));
    const double shift = value_of(moved, "value_0") - value_of(drawn, "value_0");
    EXPECT_NEAR(shift, -0.02, 2 * pixel_price());
    EXPECT_NEAR(value_of(moved, "value_1") - value_of(drawn, "value_1"), shift, 0.000011);
}

TEST_F(ChartObjectsView, ClickWithoutDragDrawsOneAnchorLinesButNoTrendline) {
    const int leftpos = chart->settings().leftpos;
    const chart::PriceAxis axis = main_axis();
    const QPoint at(x_of_bar(leftpos + 12), axis.y_of(1.22));

    view->objects().choose(chart::ObjectType::Trendline);
    mouse(QEvent::MouseButtonPress, at);
    mouse(QEvent::MouseButtonRelease, at);
    EXPECT_EQ(chart->object_counters(0).size(), 2u);
    EXPECT_TRUE(block_of_type(profile_on_disk(), 4).empty());

    view->objects().choose(chart::ObjectType::VerticalLine);
    mouse(QEvent::MouseButtonPress, at);
    mouse(QEvent::MouseButtonRelease, at);
    std::string profile = profile_on_disk();
    // After the profile's own vertical line, the new one at the bar under the pointer.
    const size_t second = profile.find("<object>\ntype=2\n", profile.find("<object>\ntype=2\n") + 1);
    ASSERT_NE(second, std::string::npos) << profile;
    EXPECT_EQ(value_of(profile.substr(second), "time_0"), time_of_bar(leftpos + 12));

    // An RSI line drawn in the sub-window belongs to the RSI's block.
    view->objects().choose(chart::ObjectType::HorizontalLine);
    const std::optional<chart::PriceAxis> rsi = chart::object_price_axis(*chart, 1);
    ASSERT_TRUE(rsi);
    mouse(QEvent::MouseButtonPress, QPoint(100, rsi->y_of(50.0)));
    mouse(QEvent::MouseButtonRelease, QPoint(100, rsi->y_of(50.0)));
    profile = profile_on_disk();
    const size_t rsi_block = profile.find("name=Relative Strength Index");
    const std::string line = block_of_type(profile.substr(rsi_block), 3);
    ASSERT_FALSE(line.empty()) << profile;
    const double pixel = (rsi->maximum - rsi->minimum) / (rsi->bottom - rsi->top);
    EXPECT_NEAR(value_of(line, "value_0"), 50.0, pixel);
}

TEST_F(ChartObjectsView, PropertiesDialogChangesTheLookAndTheDefaults) {
    const int leftpos = chart->settings().leftpos;
    const chart::PriceAxis axis = main_axis();
    view->objects().choose(chart::ObjectType::Trendline);
    drag(QPoint(x_of_bar(leftpos + 5), axis.y_of(1.15)), QPoint(x_of_bar(leftpos + 15), axis.y_of(1.15)));
    const int32_t counter = *view->objects().selected();

    // A double click on the line opens its properties.
    const QPoint on_line(x_of_bar(leftpos + 10), axis.y_of(1.15));
    mouse(QEvent::MouseButtonPress, on_line);
    mouse(QEvent::MouseButtonRelease, on_line);
    mouse(QEvent::MouseButtonDblClick, on_line);
    mouse(QEvent::MouseButtonRelease, on_line);
    auto* dialog = view->findChild<ObjectDialog*>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), "Trendline");
    EXPECT_EQ(dialog->colour_button()->colour(), 0x0000FFu);
    ASSERT_NE(dialog->ray_box(), nullptr);
    EXPECT_TRUE(dialog->ray_box()->isChecked());
    EXPECT_EQ(dialog->levels_table(), nullptr);

    dialog->colour_button()->set_colour(0x00FF00);
    dialog->style_box()->setCurrentIndex(1);
    dialog->width_box()->setValue(3);
    dialog->background_box()->setChecked(true);
    dialog->ray_box()->setChecked(false);
    dialog->timeframe_box(8)->setChecked(false);   // not on MN
    dialog->default_box()->setChecked(true);
    ASSERT_TRUE(dialog->apply());
    dialog->close();
    const std::string block = block_of_type(profile_on_disk(), 4);
    EXPECT_NE(block.find("\ncounter=" + std::to_string(counter) + "\nperiod_flags=255\n"), std::string::npos) << block;
    EXPECT_NE(block.find("\ncolor=65280\nstyle=1\nweight=3\nbackground=1\n"), std::string::npos) << block;
    EXPECT_EQ(value_of(block, "ray"), 0);
    // Kept as the look of new trendlines.
    const core::SettingsStore& store = terminal.settings();
    EXPECT_EQ(store.read_number(core::kSectionObjects, "Trendline_color", 0), 0x00FF00);
    EXPECT_EQ(store.read_number(core::kSectionObjects, "Trendline_style", 0), 1);
    EXPECT_EQ(store.read_number(core::kSectionObjects, "Trendline_weight", 0), 3);
    EXPECT_EQ(store.read_number(core::kSectionObjects, "Trendline_ray", 1), 0);
    EXPECT_EQ(store.read_number(core::kSectionObjects, "Trendline_background_", 0), 1);

    // Without "Use as default" the store keeps what it had.
    ObjectDialog* again = view->objects().open_properties(*chart, counter);
    ASSERT_NE(again, nullptr);
    again->colour_button()->set_colour(0x123456);
    ASSERT_TRUE(again->apply());
    again->close();
    EXPECT_NE(block_of_type(profile_on_disk(), 4).find("\ncolor=1193046\n"), std::string::npos);
    EXPECT_EQ(store.read_number(core::kSectionObjects, "Trendline_color", 0), 0x00FF00);
    // The object gone, the dialog can't apply.
    ObjectDialog* stale = view->objects().open_properties(*chart, counter);
    ASSERT_NE(stale, nullptr);
    ASSERT_TRUE(chart->delete_object(counter));
    EXPECT_FALSE(stale->apply());
    stale->close();
    EXPECT_EQ(view->objects().open_properties(*chart, counter), nullptr);
}

TEST_F(ChartObjectsView, FiboLevelsAreEditedInTheDialogAndKeptAsDefaults) {
    const int leftpos = chart->settings().leftpos;
    const chart::PriceAxis axis = main_axis();
    view->objects().choose(chart::ObjectType::Fibo);
    drag(QPoint(x_of_bar(leftpos + 5), axis.y_of(1.28)), QPoint(x_of_bar(leftpos + 25), axis.y_of(1.12)));
    const int32_t counter = *view->objects().selected();
    ObjectDialog* dialog = view->objects().open_properties(*chart, counter);
    ASSERT_NE(dialog, nullptr);
    QTableWidget* table = dialog->levels_table();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(dialog->default_box(), nullptr);
    ASSERT_EQ(table->rowCount(), 9);
    EXPECT_EQ(table->item(4, 0)->text(), "0.618");

    // Keep 0, 0.5 described "half" and 1; a row that isn't a number is left out.
    while (table->rowCount() > 3) table->removeRow(3);
    table->item(1, 0)->setText("0,5");
    table->item(1, 1)->setText("half");
    table->item(2, 0)->setText("1");
    dialog->add_level_row();
    table->item(3, 0)->setText("abc");
    dialog->levels_colour_button()->set_colour(0x808080);
    dialog->levels_style_box()->setCurrentIndex(2);
    dialog->levels_width_box()->setValue(2);
    dialog->levels_ray_box()->setChecked(true);
    ASSERT_TRUE(dialog->apply());
    dialog->close();

    const std::string block = block_of_type(profile_on_disk(), 12);
    EXPECT_NE(block.find("\ncolor2=8421504\nstyle2=2\nweight2=2\n"), std::string::npos) << block;
    EXPECT_NE(block.find("\nlevels_ray=1\nlevel_0=0.0000\nlevel_1=0.5000\ndescription_1=half\nlevel_2=1.0000\n"
                         "</object>\n"),
              std::string::npos)
        << block;
    // The Fibonacci dialog writes its values back as the defaults of new ones.
    const core::SettingsStore& store = terminal.settings();
    EXPECT_EQ(store.read_number(core::kSectionObjects, "Fibo_levels", 0), 3);
    EXPECT_EQ(store.read_text(core::kSectionObjects, "Fibo_level1", ""), "0.5");
    EXPECT_EQ(store.read_text(core::kSectionObjects, "Fibo_description1", ""), "half");
    EXPECT_EQ(store.read_text(core::kSectionObjects, "Fibo_level2", ""), "1");
    EXPECT_EQ(store.read_number(core::kSectionObjects, "Fibo_ray", 0), 1);
    EXPECT_EQ(store.read_number(core::kSectionObjects, "Fibo_color2", 0), 0x808080);

    // The next one drawn takes them.
    view->objects().choose(chart::ObjectType::Fibo);
    drag(QPoint(x_of_bar(leftpos + 40), axis.y_of(1.28)), QPoint(x_of_bar(leftpos + 50), axis.y_of(1.12)));
    const std::unique_ptr<chart::CObj> next = chart->object_copy(*view->objects().selected());
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->property(chart::ObjectProperty::LevelsRay), 1);
    EXPECT_EQ(next->property(chart::ObjectProperty::Ray), 0);
}

}  // namespace
}  // namespace kb::ui
