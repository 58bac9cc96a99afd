// The "<object>" blocks of the chart profile: the four classes' formats, the header rule,
// unknown types, the keys with their limits, the Fibonacci levels, the counter, and the
// look taken from and given back to the settings store.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "chart/objects/fibo.h"
#include "chart/objects/line_objects.h"
#include "chart/objects/object_counter.h"
#include "core/settings_store.h"
#include "tests/chart/indicator_fixture.h"
#include "tests/chart/object_fixture.h"
#include "tests/support/temp_folder.h"

namespace kb::chart {
namespace {

using test::JournalCapture;
using test::read_block_text;
using test::written_block;

constexpr std::string_view kCommon =
    "counter=7\nperiod_flags=48\ncreate_time=1796601600\nperiod=60\nsymbol=EURUSD\n"
    "color=16711680\nstyle=1\nweight=2\nbackground=1\n";

std::string block(int type, std::string_view tail) {
    return "<object>\ntype=" + std::to_string(type) + "\n" + std::string(kCommon) + std::string(tail) + "</object>\n";
}

TEST(ObjectBlock, EachClassWritesBackWhatItReadByteForByte) {
    const struct {
        ObjectType type;
        std::string_view name;
        std::string_view tail;
    } cases[] = {
        {ObjectType::VerticalLine, "Vertical Line", "time_0=1796605200\n"},
        {ObjectType::HorizontalLine, "Horizontal Line", "value_0=1.234560\n"},
        {ObjectType::HorizontalLine, "Horizontal Line", "value_0=-0.000001\n"},
        {ObjectType::Trendline, "Trendline",
         "time_0=1796601600\nvalue_0=1.100000\ntime_1=1796612400\nvalue_1=1.105000\nray=0\n"},
        {ObjectType::Trendline, "Trendline",   // same time, another price: written
         "time_0=1796601600\nvalue_0=1.100000\ntime_1=1796601600\nvalue_1=1.100001\nray=1\n"},
        {ObjectType::Fibo, "Fibo",
         "color2=65535\nstyle2=0\nweight2=1\ntime_0=1796601600\nvalue_0=1.200000\ntime_1=1796619600\n"
         "value_1=1.100000\nlevels_ray=1\nlevel_0=0.0000\nlevel_1=0.2360\ndescription_1=shallow\n"
         "level_2=0.5000\nlevel_3=1.0000\ndescription_3=full \xc3\xa9tage\n"},
        {ObjectType::Fibo, "Fibo",   // no levels in use
         "color2=255\nstyle2=2\nweight2=3\ntime_0=1796601600\nvalue_0=1.200000\ntime_1=1796601600\n"
         "value_1=1.300000\nlevels_ray=0\n"},
    };
    for (const auto& c : cases) {
        const std::string text = block(static_cast<int>(c.type), c.tail);
        std::unique_ptr<CObj> object = read_block_text(text);
        ASSERT_NE(object, nullptr) << text;
        EXPECT_EQ(object->type(), c.type);
        EXPECT_EQ(object->name(), c.name);
        EXPECT_EQ(written_block(*object), text);
    }
}

TEST(ObjectBlock, KeysAreReadWhateverTheirOrderAndWrittenInTheFormatsOrder) {
    std::unique_ptr<CObj> trendline = read_block_text(
        "<object>\ntype=4\nray=0\nvalue_1=1.5\ntime_1=7200\nsymbol=GBPUSD\nvalue_0=1.25\ntime_0=3600\n"
        "weight=3\nunknown=5\ncolor=255\nbackground=0\nstyle=2\nperiod=240\ncreate_time=99\n"
        "period_flags=0\ncounter=12\nangle=15\nellipse=1\nscale=4\ntime_2=5\nvalue_2=9.5\n</object>\n");
    ASSERT_NE(trendline, nullptr);
    EXPECT_EQ(written_block(*trendline),
              "<object>\ntype=4\ncounter=12\nperiod_flags=0\ncreate_time=99\nperiod=240\nsymbol=GBPUSD\n"
              "color=255\nstyle=2\nweight=3\nbackground=0\ntime_0=3600\nvalue_0=1.250000\ntime_1=7200\n"
              "value_1=1.500000\nray=0\n</object>\n");
    // Kept though not written by this class.
    EXPECT_EQ(trendline->property(ObjectProperty::Angle), 15);
    EXPECT_EQ(trendline->property(ObjectProperty::Ellipse), 1);
    EXPECT_EQ(trendline->property(ObjectProperty::Scale), 4);
    EXPECT_EQ(trendline->time(2), 5);
    EXPECT_EQ(trendline->value(2), 9.5);
}

TEST(ObjectBlock, BlockWithoutTypeFirstIsSkippedAndJournaled) {
    JournalCapture journal;
    const std::string text =
        "counter=5\ntype=4\ntime_0=1\nvalue_0=1\ntime_1=2\nvalue_1=2\n</object>\n"
        "</object>\n"
        "<object>\ntype=3\nvalue_0=1.5\n</object>\nafter\n";
    TextLineSource lines(text);
    EXPECT_EQ(read_object_block(lines, journal.journal()), nullptr);
    // An empty block ends at its own end and doesn't swallow the next one.
    EXPECT_EQ(read_object_block(lines, journal.journal()), nullptr);
    EXPECT_EQ(journal.lines(), (std::vector<std::string>{"CObj: object header was not found",
                                                          "CObj: object header was not found"}));
    std::string line;
    ASSERT_TRUE(lines.next_line(line));
    ASSERT_EQ(line, "<object>");
    std::unique_ptr<CObj> next = read_object_block(lines, journal.journal());
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->value(0), 1.5);
    ASSERT_TRUE(lines.next_line(line));
    EXPECT_EQ(line, "after");
}

TEST(ObjectBlock, TypesWithoutClassAreSkippedSilently) {
    for (std::string_view type : {"0", "1", "5", "11", "13", "-4", "abc"}) {
        JournalCapture journal;
        const std::string text = "type=" + std::string(type) + "\ntime_0=5\n</object>\nafter\n";
        TextLineSource lines(text);
        EXPECT_EQ(read_object_block(lines, journal.journal()), nullptr) << type;
        EXPECT_TRUE(journal.lines().empty()) << type;
        std::string line;
        ASSERT_TRUE(lines.next_line(line));
        EXPECT_EQ(line, "after") << type;
    }
}

TEST(ObjectBlock, BlockCutShortEndsAtTheEndOfText) {
    const std::string text = "type=3\nvalue_0=2.5\n";
    TextLineSource lines(text);
    std::unique_ptr<CObj> object = read_object_block(lines, nullptr);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->value(0), 2.5);
}

TEST(ObjectBlock, AngleIsKeptModuloAFullTurn) {
    const std::pair<std::string_view, int32_t> cases[] = {
        {"-10", 3590}, {"0", 0}, {"3599", 3599}, {"3600", 0}, {"7205", 5}, {"-3600", 0}, {"-7201", 3599},
        {"-2147483648", 3600 - 2147483648LL % 3600}, {"junk", 0},
    };
    for (auto [text, angle] : cases) {
        auto object = read_block_text("<object>\ntype=4\nangle=" + std::string(text) + "\n</object>\n");
        ASSERT_NE(object, nullptr);
        EXPECT_EQ(object->property(ObjectProperty::Angle), angle) << text;
        EXPECT_TRUE(object->set_property(ObjectProperty::Angle, -10));
        EXPECT_EQ(object->property(ObjectProperty::Angle), 3590);
    }
}

TEST(ObjectBlock, UnreadablePricesLeaveTheFieldAsItWas) {
    const std::pair<std::string_view, double> cases[] = {
        {"value_0=1.25\nvalue_0=abc\n", 1.25},
        {"value_0=1.25\nvalue_0=\n", 1.25},
        {"value_0=1.25\nvalue_0=-1000000000\n", 1.25},   // the reader's "absent"
        {"value_0=1.25\nvalue_0=-1000000000.5\n", -1000000000.5},
        {"value_0=1.25\nvalue_0=2.5xyz\n", 2.5},
        {"value_0=1.25\nvalue_0=inf\n", 1.25},
    };
    for (auto [lines, value] : cases) {
        auto object = read_block_text("<object>\ntype=3\n" + std::string(lines) + "</object>\n");
        ASSERT_NE(object, nullptr);
        EXPECT_EQ(object->value(0), value) << lines;
    }
}

TEST(ObjectBlock, SymbolKeepsElevenCharactersUpToAControlByte) {
    // A carriage return kept in the name would be lost at the next save and load.
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"EURUSD", "EURUSD"}, {"ABCDEFGHIJKLMNOP", "ABCDEFGHIJK"}, {"", ""}, {"ABCDEFGHIJ\xc3\xa9", "ABCDEFGHIJ"},
        {"E\r(\r\r", "E"}, {"GBP\tUSD", "GBP"},
    };
    for (auto [symbol, kept] : cases) {
        auto object = read_block_text("<object>\ntype=2\nsymbol=" + std::string(symbol) + "\n</object>\n");
        ASSERT_NE(object, nullptr);
        EXPECT_EQ(object->symbol(), kept);
    }
}

TEST(ObjectBlock, TwoAnchorObjectsWithEqualAnchorsAreNotWritten) {
    const std::string equal = "time_0=3600\nvalue_0=1.5\ntime_1=3600\nvalue_1=1.5\n";
    for (int type : {4, 12}) {
        auto object = read_block_text(block(type, equal));
        ASSERT_NE(object, nullptr);
        EXPECT_EQ(written_block(*object), "") << type;
        object->set_anchor(1, 7200, 1.5);
        EXPECT_NE(written_block(*object), "") << type;
    }
    // One-anchor objects have nothing to compare.
    for (int type : {2, 3}) {
        auto object = read_block_text(block(type, equal));
        ASSERT_NE(object, nullptr);
        EXPECT_NE(written_block(*object), "") << type;
    }
}

TEST(FiboBlock, LevelLinesSetTheLevelsInUse) {
    const struct {
        std::string_view lines;
        std::vector<double> levels;
    } cases[] = {
        // The only level line sets level 3: four levels, the first three as they were.
        {"level_3=0.75\n", {0.0, 0.236, 0.382, 0.75}},
        {"", {}},
        {"level_0=0.1\nlevel_1=0.2\n", {0.1, 0.2}},
        {"level_31=50\n", {0.0, 0.236, 0.382, 0.5, 0.618, 1.0, 1.618, 2.618, 4.236, 0, 0, 0, 0, 0, 0, 0,
                           0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 50}},
        // Numbers above 31 (and below 0) are ignored, as are unreadable values.
        {"level_1=0.3\nlevel_32=9\nlevel_100=9\nlevel_-1=9\n", {0.0, 0.3}},
        {"level_2=abc\n", {}},
        {"level_4=\n", {}},
    };
    for (const auto& c : cases) {
        auto object = read_block_text(block(12, c.lines));
        ASSERT_NE(object, nullptr);
        const auto& fibo = static_cast<const Fibo&>(*object);
        std::vector<double> values;
        for (const FiboLevel& level : fibo.levels()) values.push_back(level.value);
        EXPECT_EQ(values, c.levels) << c.lines;
    }
}

TEST(FiboBlock, DescriptionsKeepThirtyOneCharactersAndNumbersUpToThirtyOne) {
    const std::string long_text(40, 'x');
    std::string wide;   // 40 two-byte characters
    for (int i = 0; i < 40; ++i) wide += "\xc3\xa9";
    auto object = read_block_text(block(
        12, "description_0=" + long_text + "\ndescription_1=" + wide +
                "\ndescription_32=lost\ndescription_2=kept before its level\nlevel_2=0.5\nray=1\n"));
    ASSERT_NE(object, nullptr);
    const auto& fibo = static_cast<const Fibo&>(*object);
    ASSERT_EQ(fibo.levels().size(), 3u);
    EXPECT_EQ(fibo.levels()[0].description, std::string(31, 'x'));
    EXPECT_EQ(fibo.levels()[1].description, wide.substr(0, 62));
    EXPECT_EQ(fibo.levels()[2].description, "kept before its level");
    // Stray continuation bytes don't make an endless character.
    Fibo stray;
    stray.set_levels(std::vector<FiboLevel>{{0.5, std::string(300, '\x80')}});
    EXPECT_EQ(stray.levels()[0].description.size(), 124u);
    // "ray=" is no Fibonacci key: the levels ray stays off, the ray too.
    EXPECT_EQ(fibo.property(ObjectProperty::LevelsRay), 0);
    EXPECT_EQ(fibo.property(ObjectProperty::Ray), 0);
}

TEST(FiboBlock, NewObjectHasTheClassDefaults) {
    auto object = create_object(ObjectType::Fibo);
    ASSERT_NE(object, nullptr);
    object->set_anchor(0, 0, 2.0);
    object->set_anchor(1, 3600, 1.0);
    EXPECT_EQ(written_block(*object),
              "<object>\ntype=12\ncounter=" + std::to_string(object->counter()) +
                  "\nperiod_flags=511\ncreate_time=0\nperiod=0\nsymbol=\ncolor=255\nstyle=1\nweight=1\n"
                  "background=0\ncolor2=65535\nstyle2=0\nweight2=1\ntime_0=0\nvalue_0=2.000000\ntime_1=3600\n"
                  "value_1=1.000000\nlevels_ray=0\nlevel_0=0.0000\nlevel_1=0.2360\nlevel_2=0.3820\n"
                  "level_3=0.5000\nlevel_4=0.6180\nlevel_5=1.0000\nlevel_6=1.6180\nlevel_7=2.6180\n"
                  "level_8=4.2360\n</object>\n");
}

TEST(FiboLevels, PricesRunFromTheSecondAnchorToTheFirstAndLabelsShowPercent) {
    Fibo fibo;
    fibo.set_anchor(0, 0, 1.2000);
    fibo.set_anchor(1, 3600, 1.1000);
    fibo.set_levels(std::vector<FiboLevel>{{0.0, ""}, {0.382, ""}, {1.0, "top"}, {1.618, ""}, {-0.25, ""}});
    const struct {
        int level;
        double price;
        std::string_view label;
    } cases[] = {
        {0, 1.1, "0.0"}, {1, 1.1382, "38.2"}, {2, 1.2, "top"}, {3, 1.2618, "161.8"}, {4, 1.075, "-25.0"},
        {5, 0, ""}, {-1, 0, ""},
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(fibo.level_price(c.level), c.price, 1e-12) << c.level;
        EXPECT_EQ(fibo.level_label(c.level), c.label) << c.level;
    }
}

TEST(FiboLevels, SetLevelsKeepsThirtyTwoOnOneLineEach) {
    std::vector<FiboLevel> levels(40, FiboLevel{0.5, "a\nb\rc"});
    Fibo fibo;
    fibo.set_levels(levels);
    ASSERT_EQ(fibo.levels().size(), 32u);
    EXPECT_EQ(fibo.levels()[31].description, "a b c");
    fibo.set_anchor(1, 60, 2.0);
    const std::string text = written_block(fibo);
    EXPECT_EQ(text.find("description_31=a b c\nlevel_32"), std::string::npos);
    EXPECT_NE(text.find("level_31=0.5000\ndescription_31=a b c\n</object>\n"), std::string::npos);
}

TEST(ObjectCopy, CopiesEveryFieldOfTheSameTypeOnly) {
    auto source = read_block_text(block(
        12, "time_0=60\nvalue_0=1.5\ntime_1=120\nvalue_1=1.7\ncolor2=9\nstyle2=2\nweight2=4\nlevels_ray=1\n"
            "level_0=0.3\ndescription_0=third\nangle=20\n"));
    ASSERT_NE(source, nullptr);
    Fibo copy;
    ASSERT_TRUE(copy.copy_from(*source));
    EXPECT_EQ(written_block(copy), written_block(*source));
    EXPECT_EQ(copy.counter(), 7);
    EXPECT_EQ(copy.property(ObjectProperty::Angle), 20);
    EXPECT_EQ(written_block(*source->clone()), written_block(*source));

    Trendline other;
    other.set_anchor(1, 60, 1.0);
    const std::string before = written_block(other);
    EXPECT_FALSE(other.copy_from(*source));
    EXPECT_EQ(written_block(other), before);
}

TEST(ObjectProperties, ClassesAnswerForTheirOwnPropertiesOnly) {
    Trendline trendline;
    Fibo fibo;
    EXPECT_FALSE(trendline.set_property(ObjectProperty::Color2, 5));
    EXPECT_EQ(trendline.property(ObjectProperty::Color2), std::nullopt);
    EXPECT_EQ(trendline.property(ObjectProperty::Ray), 1);
    EXPECT_TRUE(fibo.set_property(ObjectProperty::Color2, 5));
    EXPECT_EQ(fibo.property(ObjectProperty::Color2), 5);
    EXPECT_TRUE(fibo.set_property(ObjectProperty::PeriodFlags, 16));
    EXPECT_TRUE(fibo.visible_on(60));
    EXPECT_FALSE(fibo.visible_on(240));
}

TEST(ObjectCounter, NewObjectsNumberAboveEverythingReadBefore) {
    auto first = create_object(ObjectType::VerticalLine);
    auto second = create_object(ObjectType::HorizontalLine);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_GT(second->counter(), first->counter());

    const int32_t high = second->counter() + 1000;
    auto read = read_block_text(block(2, "counter=" + std::to_string(high) + "\n"));
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->counter(), high);
    auto after = create_object(ObjectType::Trendline);
    EXPECT_GT(after->counter(), high);

    // A lower counter read later lowers nothing.
    auto low = read_block_text(block(2, "counter=1\n"));
    EXPECT_EQ(low->counter(), 1);
    EXPECT_GT(create_object(ObjectType::Fibo)->counter(), after->counter());
    EXPECT_EQ(create_object(7), nullptr);
}

class ObjectDefaults : public ::testing::Test {
protected:
    kb::testing::TempFolder folder;
    core::SettingsStore store{folder.file("settings")};
};

TEST_F(ObjectDefaults, EmptyStoreGivesTheClassLook) {
    const struct {
        ObjectType type;
        int32_t style;
        int32_t ray;
    } cases[] = {
        {ObjectType::VerticalLine, 0, 0},
        {ObjectType::HorizontalLine, 0, 0},
        {ObjectType::Trendline, 0, 1},
        {ObjectType::Fibo, 1, 0},
    };
    for (const auto& c : cases) {
        auto object = create_object(c.type);
        object->set_property(ObjectProperty::Weight, 5);
        object->set_property(ObjectProperty::Color, 5);
        object->load_defaults(store);
        EXPECT_EQ(object->property(ObjectProperty::Color), 0x0000FF) << object->name();
        EXPECT_EQ(object->property(ObjectProperty::Style), c.style) << object->name();
        EXPECT_EQ(object->property(ObjectProperty::Weight), 1) << object->name();
        EXPECT_EQ(object->property(ObjectProperty::Ray), c.ray) << object->name();
        EXPECT_EQ(object->property(ObjectProperty::Background), 0) << object->name();
    }
    Fibo fibo;
    fibo.set_levels(std::vector<FiboLevel>{{0.5, "x"}});
    fibo.load_defaults(store);
    EXPECT_EQ(fibo.levels().size(), 1u);   // no count in the store: the levels stay
}

TEST_F(ObjectDefaults, StoreValuesAreNamedAfterTheType) {
    const auto section = core::kSectionObjects;
    store.write_number(section, "Trendline_color", 0x00FF00);
    store.write_number(section, "Trendline_style", 1);
    store.write_number(section, "Trendline_weight", 3);
    store.write_number(section, "Trendline_ray", 0);
    store.write_number(section, "Trendline_background_", 1);
    store.write_number(section, "Trendline_background", 0);   // not the name read
    store.write_number(section, "Vertical Line_color", 0x123456);

    Trendline trendline;
    trendline.load_defaults(store);
    EXPECT_EQ(trendline.property(ObjectProperty::Color), 0x00FF00);
    EXPECT_EQ(trendline.property(ObjectProperty::Style), 1);
    EXPECT_EQ(trendline.property(ObjectProperty::Weight), 3);
    EXPECT_EQ(trendline.property(ObjectProperty::Ray), 0);
    EXPECT_EQ(trendline.property(ObjectProperty::Background), 1);

    VerticalLine vertical;
    vertical.load_defaults(store);
    EXPECT_EQ(vertical.property(ObjectProperty::Color), 0x123456);
    EXPECT_EQ(vertical.property(ObjectProperty::Background), 0);
}

TEST_F(ObjectDefaults, FiboTakesItsRayAsTheLevelsRayAndItsLevelsFromText) {
    const auto section = core::kSectionObjects;
    store.write_number(section, "Fibo_ray", 1);
    store.write_number(section, "Fibo_color2", 0x0000FF);
    store.write_number(section, "Fibo_style2", 2);
    store.write_number(section, "Fibo_weight2", 3);
    store.write_number(section, "Fibo_levels", 4);
    store.write_text(section, "Fibo_level0", "0.1");
    store.write_text(section, "Fibo_level1", "junk");   // keeps the class's 0.236
    store.write_text(section, "Fibo_level3", "1.25");
    store.write_text(section, "Fibo_description3", "one and a quarter");

    Fibo fibo;
    fibo.load_defaults(store);
    EXPECT_EQ(fibo.property(ObjectProperty::LevelsRay), 1);
    EXPECT_EQ(fibo.property(ObjectProperty::Ray), 0);
    EXPECT_EQ(fibo.property(ObjectProperty::Color2), 0x0000FF);
    EXPECT_EQ(fibo.property(ObjectProperty::Style2), 2);
    EXPECT_EQ(fibo.property(ObjectProperty::Weight2), 3);
    EXPECT_EQ(fibo.property(ObjectProperty::Style), 1);
    const std::vector<FiboLevel> expected{{0.1, ""}, {0.236, ""}, {0.382, ""}, {1.25, "one and a quarter"}};
    EXPECT_EQ(std::vector<FiboLevel>(fibo.levels().begin(), fibo.levels().end()), expected);

    store.write_number(section, "Fibo_levels", 99);
    fibo.load_defaults(store);
    EXPECT_EQ(fibo.levels().size(), 32u);
    store.write_number(section, "Fibo_levels", 0);
    fibo.load_defaults(store);
    EXPECT_TRUE(fibo.levels().empty());
}

TEST_F(ObjectDefaults, StoredLookReadsBackAndLevelsAreTrimmedText) {
    Fibo fibo;
    fibo.set_property(ObjectProperty::Color, 77);
    fibo.set_property(ObjectProperty::LevelsRay, 1);
    fibo.set_property(ObjectProperty::Weight2, 2);
    fibo.set_levels(std::vector<FiboLevel>{{0.0, ""}, {0.236, "a"}, {1.0, ""}, {-0.1234567, ""}, {12.5, ""}});
    fibo.store_defaults(store);

    const auto section = core::kSectionObjects;
    EXPECT_EQ(store.read_text(section, "Fibo_level0", "?"), "0");
    EXPECT_EQ(store.read_text(section, "Fibo_level1", "?"), "0.236");
    EXPECT_EQ(store.read_text(section, "Fibo_level2", "?"), "1");
    EXPECT_EQ(store.read_text(section, "Fibo_level3", "?"), "-0.123457");
    EXPECT_EQ(store.read_text(section, "Fibo_level4", "?"), "12.5");
    EXPECT_EQ(store.read_number(section, "Fibo_ray", -1), 1);
    EXPECT_EQ(store.read_number(section, "Fibo_levels", -1), 5);

    Fibo fresh;
    fresh.load_defaults(store);
    fresh.set_anchor(1, 60, 1.0);
    fibo.set_anchor(1, 60, 1.0);
    fresh.set_counter(fibo.counter());
    // -0.1234567 came back as the text's -0.123457.
    fibo.set_levels(std::vector<FiboLevel>{{0.0, ""}, {0.236, "a"}, {1.0, ""}, {-0.123457, ""}, {12.5, ""}});
    EXPECT_EQ(written_block(fresh), written_block(fibo));
}

TEST_F(ObjectDefaults, PlaceMakesANewObjectAtOnePoint) {
    store.write_number(core::kSectionObjects, "Trendline_color", 42);
    Trendline trendline;
    trendline.set_counter(-5);
    trendline.set_anchor(1, 99, 9.0);
    const int32_t before = next_object_counter();
    trendline.place({.symbol = "USDJPYLONGNAME", .period = 240, .time = 1796601600, .price = 151.25,
                     .create_time = 1796700000},
                    store);
    EXPECT_GT(trendline.counter(), before);
    EXPECT_EQ(trendline.symbol(), "USDJPYLONGN");
    EXPECT_EQ(trendline.period(), 240);
    EXPECT_EQ(trendline.create_time(), 1796700000);
    EXPECT_EQ(trendline.property(ObjectProperty::Color), 42);
    for (int i = 0; i < kObjectAnchors; ++i) {
        EXPECT_EQ(trendline.time(i), 1796601600);
        EXPECT_EQ(trendline.value(i), 151.25);
    }
    EXPECT_FALSE(trendline.positions_cached());
    EXPECT_EQ(written_block(trendline), "");   // not stretched yet
}

}  // namespace
}  // namespace kb::chart
