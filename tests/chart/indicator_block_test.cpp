// Reading and writing "<indicator>" blocks: the header rule, unknown names, the price
// series, object blocks, the common keys with their limits, levels and period flags.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "chart/framework/indicator_block.h"
#include "chart/framework/period_flags.h"
#include "chart/framework/price_series.h"
#include "tests/chart/indicator_fixture.h"

namespace kb::chart {
namespace {

using test::JournalCapture;
using test::read_block;
using test::saved_block;

TEST(IndicatorBlock, BlockWithoutNameFirstIsSkippedWholeAndJournaled) {
    JournalCapture journal;
    std::string text =
        "period=14\nname=Relative Strength Index\ncolor=1\n<object>\nname=x\n</object>\n</indicator>\n"
        "<indicator>\nname=Momentum\nperiod=9\n</indicator>\n";
    TextLineSource lines(text);
    IndicatorBlock first = read_indicator_block(lines, journal.journal());
    EXPECT_EQ(first.kind, IndicatorBlockKind::Skipped);
    EXPECT_EQ(first.indicator, nullptr);
    ASSERT_EQ(journal.lines().size(), 1u);
    EXPECT_EQ(journal.lines()[0], "CInd: indicator header not found");

    // The reader stands after "</indicator>": the next block reads normally.
    std::string line;
    ASSERT_TRUE(lines.next_line(line));
    EXPECT_EQ(line, "<indicator>");
    IndicatorBlock next = read_indicator_block(lines, journal.journal());
    ASSERT_EQ(next.kind, IndicatorBlockKind::Created);
    EXPECT_EQ(next.indicator->label(), "Momentum(9)");
    EXPECT_FALSE(lines.next_line(line));
}

TEST(IndicatorBlock, EmptyBlockIsSkippedAtItsOwnEnd) {
    JournalCapture journal;
    std::string text = "</indicator>\n<indicator>\nname=Volumes\n</indicator>\n";
    TextLineSource lines(text);
    EXPECT_EQ(read_indicator_block(lines, journal.journal()).kind, IndicatorBlockKind::Skipped);
    EXPECT_EQ(journal.lines().size(), 1u);
    std::string line;
    ASSERT_TRUE(lines.next_line(line));
    EXPECT_EQ(line, "<indicator>");   // the next block was not swallowed
}

TEST(IndicatorBlock, UnknownNameIsSkippedSilently) {
    JournalCapture journal;
    std::string text = "name=Zig Zag\nperiod=3\n</indicator>\nafter\n";
    TextLineSource lines(text);
    EXPECT_EQ(read_indicator_block(lines, journal.journal()).kind, IndicatorBlockKind::Skipped);
    EXPECT_TRUE(journal.lines().empty());
    std::string line;
    ASSERT_TRUE(lines.next_line(line));
    EXPECT_EQ(line, "after");
}

TEST(IndicatorBlock, MainIsLeftToThePriceSeries) {
    std::string text = "name=main\nperiod=20\ncolor=16777215\nstyle=1\nweight=2\n</indicator>\nafter\n";
    TextLineSource lines(text);
    IndicatorBlock block = read_indicator_block(lines, nullptr);
    EXPECT_EQ(block.kind, IndicatorBlockKind::PriceSeries);
    EXPECT_EQ(block.indicator, nullptr);

    PriceSeries series;
    series.load_block(lines, nullptr);
    EXPECT_EQ(saved_block(series),
              "<indicator>\nname=main\nperiod=20\ncolor=16777215\nstyle=1\nweight=2\n</indicator>\n");
    std::string line;
    ASSERT_TRUE(lines.next_line(line));
    EXPECT_EQ(line, "after");
}

TEST(IndicatorBlock, NewPriceSeriesWritesNoPeriodFlags) {
    PriceSeries series;
    EXPECT_EQ(saved_block(series), "<indicator>\nname=main\nperiod=14\ncolor=255\nstyle=0\nweight=1\n</indicator>\n");
    series.set_period_flags(kNoPeriods);
    EXPECT_EQ(saved_block(series).find("period_flags"), std::string::npos);
}

TEST(IndicatorBlock, ObjectBlocksOfUnknownTypesInsideAreSkipped) {
    auto rsi = read_block("Relative Strength Index",
                          "period=9\n<object>\ntype=1\nperiod=3\ncolor=7\n</object>\ncolor=5\n");
    ASSERT_NE(rsi, nullptr);
    EXPECT_EQ(rsi->period(), 9);   // the object's period= is not the indicator's
    EXPECT_EQ(rsi->line_style(0).color, 5);
    EXPECT_TRUE(rsi->objects().empty());
}

// Objects read inside an indicator block belong to it and are written back after its
// period flags (the price series has none), in their order; a block without its header
// is journaled and dropped, one with equal trendline anchors is dropped at the save.
TEST(IndicatorBlock, ObjectsInsideAreAttachedAndWrittenBeforeTheEnd) {
    const std::string vertical =
        "<object>\ntype=2\ncounter=31\nperiod_flags=511\ncreate_time=5\nperiod=60\nsymbol=EURUSD\n"
        "color=255\nstyle=0\nweight=1\nbackground=0\ntime_0=7200\n</object>\n";
    const std::string horizontal =
        "<object>\ntype=3\ncounter=32\nperiod_flags=511\ncreate_time=5\nperiod=60\nsymbol=EURUSD\n"
        "color=255\nstyle=0\nweight=1\nbackground=0\nvalue_0=50.000000\n</object>\n";
    const std::string collapsed =
        "<object>\ntype=4\ncounter=33\ntime_0=60\nvalue_0=1\ntime_1=60\nvalue_1=1\n</object>\n";
    const std::string headless = "<object>\ncounter=34\ntype=2\n</object>\n";

    JournalCapture journal;
    auto rsi = read_block("Relative Strength Index",
                          "period=9\n" + vertical + headless + "period_flags=16\n" + collapsed + horizontal,
                          journal.journal());
    ASSERT_NE(rsi, nullptr);
    EXPECT_EQ(journal.lines(), std::vector<std::string>{"CObj: object header was not found"});
    ASSERT_EQ(rsi->objects().size(), 3u);
    EXPECT_EQ(rsi->period(), 9);
    EXPECT_EQ(rsi->period_flags(), 16);
    const std::string saved = saved_block(*rsi);
    const std::string tail = "period_flags=16\n" + vertical + horizontal + "</indicator>\n";
    ASSERT_GE(saved.size(), tail.size());
    EXPECT_EQ(saved.substr(saved.size() - tail.size()), tail);

    std::string main_text = "period=14\n" + horizontal + vertical + "</indicator>\n";
    TextLineSource lines(main_text);
    PriceSeries series;
    series.load_block(lines, nullptr);
    EXPECT_EQ(saved_block(series), "<indicator>\nname=main\nperiod=14\ncolor=255\nstyle=0\nweight=1\n" +
                                       horizontal + vertical + "</indicator>\n");

    // Found and handed over by counter.
    ASSERT_NE(rsi->find_object(32), nullptr);
    EXPECT_EQ(rsi->find_object(32)->type(), ObjectType::HorizontalLine);
    EXPECT_EQ(rsi->find_object(34), nullptr);
    std::unique_ptr<CObj> taken = rsi->detach_object(31);
    ASSERT_NE(taken, nullptr);
    EXPECT_EQ(taken->time(0), 7200);
    EXPECT_EQ(rsi->detach_object(31), nullptr);
    EXPECT_EQ(rsi->objects().size(), 2u);
}

TEST(IndicatorBlock, BlockCutShortEndsAtTheEndOfText) {
    std::string text = "name=Momentum\nperiod=5\n";
    TextLineSource lines(text);
    IndicatorBlock block = read_indicator_block(lines, nullptr);
    ASSERT_EQ(block.kind, IndicatorBlockKind::Created);
    EXPECT_EQ(block.indicator->period(), 5);
}

TEST(IndicatorBlock, LongNameIsCutBeforeItIsCompared) {
    const std::string name = "Momentum" + std::string(300, ' ');
    EXPECT_EQ(read_block(name, ""), nullptr);
    EXPECT_EQ(read_block(std::string(260, 'x'), ""), nullptr);
}

TEST(IndicatorBlock, RsiWithoutBoundsOrLevelsKeepsNone) {
    auto fresh = create_indicator("Relative Strength Index");
    EXPECT_EQ(fresh->fixed_minimum(), 0.0);
    EXPECT_EQ(fresh->fixed_maximum(), 100.0);
    ASSERT_EQ(fresh->levels().size(), 2u);
    EXPECT_EQ(fresh->levels()[0].value, 30.0);
    EXPECT_EQ(fresh->levels()[1].value, 70.0);

    auto read = read_block("Relative Strength Index", "period=14\napply=0\ncolor=16748574\nstyle=0\nweight=1\n");
    EXPECT_FALSE(read->fixed_minimum());
    EXPECT_FALSE(read->fixed_maximum());
    EXPECT_TRUE(read->levels().empty());
    EXPECT_EQ(saved_block(*read),
              "<indicator>\nname=Relative Strength Index\nperiod=14\napply=0\ncolor=16748574\nstyle=0\n"
              "weight=1\nperiod_flags=511\n</indicator>\n");
}

TEST(IndicatorBlock, LevelNumbersReachThirtyOne) {
    auto top = read_block("Momentum", "level_31=50\n");
    ASSERT_EQ(top->levels().size(), 32u);
    for (int i = 0; i < 31; ++i) EXPECT_EQ(top->levels()[i].value, 0.0) << i;
    EXPECT_EQ(top->levels()[31].value, 50.0);

    for (const char* ignored : {"level_32=50\n", "level_-1=50\n", "level_1000000000000=5\n", "description_32=x\n"}) {
        auto indicator = read_block("Momentum", ignored);
        EXPECT_TRUE(indicator->levels().empty()) << ignored;
        EXPECT_EQ(saved_block(*indicator).find("level"), std::string::npos) << ignored;
    }
}

TEST(IndicatorBlock, LevelLinesAndDescriptions) {
    // A description may come before its level; an unreadable level value is absent; the
    // count follows the highest level given.
    auto indicator = read_block(
        "Momentum",
        "description_2=upper band of the range, longer than 31 bytes\nlevel_0=abc\nlevel_2=101.23456\n"
        "description_0=zero\nlevels_color=255\nlevels_style=2\nlevels_weight=3\n");
    ASSERT_EQ(indicator->levels().size(), 3u);
    EXPECT_EQ(indicator->levels()[0].value, 0.0);
    EXPECT_EQ(indicator->levels()[0].description, "zero");
    EXPECT_EQ(indicator->levels()[2].value, 101.23456);
    EXPECT_EQ(indicator->levels()[2].description, "upper band of the range, longer");
    EXPECT_EQ(indicator->levels()[2].description.size(), kLevelDescriptionBytes);
    EXPECT_NE(saved_block(*indicator)
                  .find("levels_color=255\nlevels_style=2\nlevels_weight=3\nlevel_0=0.0000\ndescription_0=zero\n"
                        "level_1=0.0000\nlevel_2=101.2346\ndescription_2=upper band of the range, longer\n"),
              std::string::npos)
        << saved_block(*indicator);
}

TEST(IndicatorBlock, LevelsWithoutValuesLeaveTheWindowWithoutLevels) {
    auto indicator = read_block("Commodity Channel Index", "description_0=only a text\nlevels_color=1\n");
    EXPECT_TRUE(indicator->levels().empty());
    EXPECT_EQ(saved_block(*indicator).find("levels_color"), std::string::npos);
}

TEST(IndicatorBlock, UnreadableBoundsCountAsAbsent) {
    struct Case {
        const char* body;
        std::optional<double> minimum, maximum;
    };
    const Case cases[] = {
        {"min=-5.5\nmax=12\n", -5.5, 12.0},
        {"min=abc\nmax=\n", std::nullopt, std::nullopt},
        {"min=-1000000000.0\nmax=-1000000000\n", std::nullopt, std::nullopt},
        {"min=-999999999.5\n", -999999999.5, std::nullopt},
        {"min=0\nmax=.5\n", 0.0, 0.5},
        {"min=1e400\nmax=nan\n", std::nullopt, std::nullopt},
        {"min= 7 points\n", 7.0, std::nullopt},
    };
    for (const Case& c : cases) {
        auto indicator = read_block("Relative Strength Index", c.body);
        EXPECT_EQ(indicator->fixed_minimum(), c.minimum) << c.body;
        EXPECT_EQ(indicator->fixed_maximum(), c.maximum) << c.body;
    }
}

TEST(IndicatorBlock, KeysAreCaseSensitiveAtTheStartOfTheLine) {
    auto indicator = read_block("Momentum", "Period=20\n period=21\nPERIOD_FLAGS=3\ncolor=abc\nweight=2px\n");
    EXPECT_EQ(indicator->period(), 14);
    EXPECT_EQ(indicator->period_flags(), kAllPeriods);
    EXPECT_EQ(indicator->line_style(0).color, 0);
    EXPECT_EQ(indicator->line_style(0).weight, 2);
}

TEST(IndicatorBlock, KnownKeysAreReported) {
    auto indicator = create_indicator("Relative Strength Index");
    for (const char* known : {"period=3", "apply=1", "color=2", "style=1", "weight=2", "min=1", "max=x",
                              "levels_color=1", "levels_style=1", "levels_weight=1", "level_3=4", "level_40=1",
                              "description_1=a", "period_flags=3"})
        EXPECT_TRUE(indicator->parse_line(known)) << known;
    for (const char* unknown : {"name=RSI", "shift=1", "color2=5", "levelx=1", "level_=1", "", "period"})
        EXPECT_FALSE(indicator->parse_line(unknown)) << unknown;
}

TEST(PeriodFlags, DecideVisibilityPerTimeframe) {
    const int periods[] = {1, 5, 15, 30, 60, 240, 1440, 10080, 43200};
    struct Case {
        int32_t flags;
        const char* shown;   // one mark per timeframe M1 .. MN
    };
    const Case cases[] = {
        {-1, "........."}, {0, "xxxxxxxxx"}, {511, "xxxxxxxxx"}, {16, "....x...."},
        {1, "x........"},  {256, "........x"}, {510, ".xxxxxxxx"}, {1023, "xxxxxxxxx"},
        {-2, ".xxxxxxxx"}, {512, "........."},
    };
    for (const Case& c : cases)
        for (int i = 0; i < 9; ++i)
            EXPECT_EQ(visible_on_period(c.flags, periods[i]), c.shown[i] == 'x') << c.flags << " on " << periods[i];
    EXPECT_FALSE(visible_on_period(16, 90));   // a period with no bit
    EXPECT_TRUE(visible_on_period(0, 90));
}

TEST(PeriodFlags, BlockValuesKeepTheirMeaning) {
    for (int32_t flags : {-1, 0, 16}) {
        auto indicator = read_block("Volumes", "period_flags=" + std::to_string(flags) + "\n");
        EXPECT_EQ(indicator->period_flags(), flags);
        EXPECT_NE(saved_block(*indicator).find("\nperiod_flags=" + std::to_string(flags) + "\n"), std::string::npos);
    }
}

TEST(TextLineSource, FollowsTheProfileLineRules) {
    std::string text = "a\r\n\n\r\nbcdef\nlast";
    TextLineSource lines(text, 3);
    std::string line;
    std::vector<std::string> read;
    while (lines.next_line(line)) read.push_back(line);
    EXPECT_EQ(read, (std::vector<std::string>{"a", "bcd", "las"}));
}

}  // namespace
}  // namespace kb::chart
