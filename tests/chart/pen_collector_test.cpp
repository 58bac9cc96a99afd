#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "chart/render/pen_collector.h"
#include "platform/clock.h"
#include "tests/market/market_test_support.h"
#include "tests/support/recording_canvas.h"
#include "tests/support/temp_folder.h"

namespace kb::chart {
namespace {

constexpr const char* kFull = "PenCollector: not enough space in array (511)";

class PenCollectorTest : public ::testing::Test {
protected:
    size_t count(const std::string& line) const {
        size_t n = 0;
        for (const std::string& l : journal.lines()) n += l == line;
        return n;
    }

    ::kb::testing::TempFolder folder;
    market::testing::CapturedJournal journal{folder.path()};
    platform::ManualClock clock;
    ::kb::testing::FixedFontFamilies families;
    PenCollector pens{families, clock, journal.get(), 96};
};

TEST_F(PenCollectorTest, KeepsOnePenPerStyleWidthAndColour) {
    const Pen& first = pens.pen(0, 1, 0x123456);
    EXPECT_EQ(first, (Pen{0, 1, 0x123456}));
    EXPECT_EQ(&pens.pen(0, 1, 0x123456), &first);
    EXPECT_EQ(&pens.pen(0, 1, 0x123456, 2), &first);   // the key marks use, it doesn't tell pens apart
    EXPECT_NE(&pens.pen(1, 1, 0x123456), &first);
    EXPECT_NE(&pens.pen(0, 2, 0x123456), &first);
    EXPECT_NE(&pens.pen(0, 1, 0x123457), &first);
    EXPECT_EQ(pens.pens_in_use(), 4);
    EXPECT_TRUE(journal.lines().empty());
}

TEST_F(PenCollectorTest, AHitRefreshesTheLastUse) {
    pens.pen(0, 1, 0xFF);
    const uint32_t made = pens.pen_last_use(0);
    clock.advance_ms(250);
    pens.pen(0, 1, 0xFF);
    EXPECT_EQ(pens.pen_last_use(0), made + 250);
}

TEST_F(PenCollectorTest, The512thPenIsRefusedAndLoggedOncePerExtraRequest) {
    for (Colour colour = 0; colour < 511; ++colour) EXPECT_EQ(pens.pen(0, 1, colour).colour, colour);
    EXPECT_TRUE(journal.lines().empty());
    EXPECT_EQ(pens.pens_in_use(), 511);

    const Pen& refused = pens.pen(0, 1, 511);
    EXPECT_EQ(&refused, &pens.default_pen());
    EXPECT_EQ(refused, (Pen{1, 1, 0x000000}));
    EXPECT_EQ(count(kFull), 1u);
    pens.pen(0, 1, 600);
    pens.pen(0, 1, 511);
    EXPECT_EQ(count(kFull), 3u);
    // Pens already kept are still handed out without a line.
    EXPECT_EQ(pens.pen(0, 1, 42).colour, 42u);
    EXPECT_EQ(count(kFull), 3u);
}

TEST_F(PenCollectorTest, APenThePlatformCannotMakeGivesTheDefaultAndALine) {
    const std::pair<Pen, const char*> cases[] = {
        {{7, 1, 0xFF}, "PenCollector: cannot create CPen(7,1,FF,1)"},
        {{0, -1, 0xABCDEF}, "PenCollector: cannot create CPen(0,-1,ABCDEF,1)"},
        {{0, 256, 0x10}, "PenCollector: cannot create CPen(0,256,10,1)"},
    };
    for (const auto& [pen, line] : cases) {
        EXPECT_EQ(&pens.pen(pen.style, pen.width, pen.colour), &pens.default_pen());
        EXPECT_EQ(count(line), 1u) << line;
    }
    // The refused slot is free again.
    EXPECT_EQ(pens.pens_in_use(), 0);
}

TEST_F(PenCollectorTest, FontsAreKeyedBySizeFaceAndKeysAndSizedForTheScreen) {
    const Font& chart = pens.font(70, "Tahoma", 1, 96);
    EXPECT_EQ(chart, (Font{"Tahoma", 70, 9}));
    EXPECT_EQ(&pens.font(70, "Tahoma", 1, 96), &chart);
    EXPECT_NE(&pens.font(70, "Tahoma", 1, 192), &chart);
    EXPECT_NE(&pens.font(80, "Tahoma", 1, 96), &chart);
    EXPECT_EQ(pens.fonts_in_use(), 3);

    PenCollector high_dpi(families, clock, nullptr, 192);
    EXPECT_EQ(high_dpi.font(300, "Impact", 1, 192).pixel_height, 80);
    // Chinese texts are drawn one point larger.
    PenCollector chinese(families, clock, nullptr, 96, kCodePageSimplifiedChinese);
    EXPECT_EQ(chinese.font(70, "Tahoma", 1, 96).size, 80);
}

TEST_F(PenCollectorTest, MissingFacesGetAStandInAndNoFontAtAllGivesTheDefault) {
    ::kb::testing::FixedFontFamilies bare({}, "DejaVu Sans");
    PenCollector fallback(bare, clock, journal.get(), 96);
    EXPECT_EQ(fallback.font(70, "Tahoma", 1, 96).face, "DejaVu Sans");
    EXPECT_EQ(fallback.font(300, "Impact", 1, 96).face, "DejaVu Sans");
    EXPECT_TRUE(journal.lines().empty());

    ::kb::testing::FixedFontFamilies none({}, "");
    PenCollector without(none, clock, journal.get(), 96);
    EXPECT_EQ(&without.font(300, "Impact", 1, 96), &without.default_font());
    EXPECT_EQ(count("PenCollector: cannot create CFont(-40,Impact)"), 1u);
}

TEST_F(PenCollectorTest, The64thFontIsRefused) {
    for (int size = 1; size <= 63; ++size) pens.font(size * 10, "Tahoma", 1, 96);
    EXPECT_TRUE(journal.lines().empty());
    EXPECT_EQ(&pens.font(1000, "Tahoma", 1, 96), &pens.default_font());
    EXPECT_EQ(count("PenCollector: not enough space in array (63)"), 1u);
}

}  // namespace
}  // namespace kb::chart
