#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "core/line_parsers.h"

namespace kb::core {
namespace {

TEST(ParseNumberLine, ReadsTheValueAfterTheKey) {
    const std::pair<const char*, double> cases[] = {
        {"period=1.5", 1.5},           {"  \tperiod=3", 3.0},       {"period= -2.25e1\r\n", -22.5},
        {"period=abc", 0.0},           {"period=", 0.0},            {"period=7.5 lots", 7.5},
        {"other=1", kNoNumber},        {"Period=1", kNoNumber},     {"xperiod=1", kNoNumber},
        {"", kNoNumber},
    };
    for (auto [line, expected] : cases) EXPECT_DOUBLE_EQ(parse_number_line(line, "period="), expected) << line;
}

TEST(ParseIntegerLine, ReadsAndClampsTheValue) {
    const std::pair<const char*, int> cases[] = {
        {"shift=12", 12},          {"   shift=-7x", -7},         {"shift=99999999999", INT_MAX},
        {"shift=-99999999999", INT_MIN}, {"shift=", 0},         {"shift= 42\r\n", 42},
    };
    for (auto [line, expected] : cases) {
        int value = 555;
        EXPECT_TRUE(parse_integer_line(line, "shift=", value)) << line;
        EXPECT_EQ(value, expected) << line;
    }
}

TEST(ParseIntegerLine, MismatchLeavesTheValueAlone) {
    int value = 555;
    EXPECT_FALSE(parse_integer_line("scale=12", "shift=", value));
    EXPECT_FALSE(parse_integer_line("  shift=12", "shift=", value, LeadingBlanks::Keep));
    EXPECT_FALSE(parse_integer_line("SHIFT=12", "shift=", value));
    EXPECT_EQ(value, 555);
    EXPECT_TRUE(parse_integer_line("shift=12", "shift=", value, LeadingBlanks::Keep));
    EXPECT_EQ(value, 12);
}

TEST(ParseTextLine, CopiesUpToTheBufferSize) {
    struct Case {
        const char* line;
        size_t buffer_size;
        const char* expected;
    };
    const Case cases[] = {
        {"name=EURUSD\r\n", 64, "EURUSD"},
        {"  name= spaced value ", 64, " spaced value "},
        {"name=EURUSD", 4, "EUR"},
        {"name=EURUSD", 1, ""},
        {"name=", 64, ""},
        {"name=\xe2\x82\xac\xe2\x82\xac", 6, "\xe2\x82\xac"},   // "€€": the second euro sign would be cut
        {"name=\xe2\x82\xac\xe2\x82\xac", 7, "\xe2\x82\xac\xe2\x82\xac"},
    };
    for (const Case& c : cases) {
        std::string text = "unchanged";
        EXPECT_TRUE(parse_text_line(c.line, "name=", text, c.buffer_size)) << c.line;
        EXPECT_EQ(text, c.expected) << c.line << " " << c.buffer_size;
    }
}

TEST(ParseTextLine, MismatchOrNoBufferLeavesTheTextAlone) {
    std::string text = "unchanged";
    EXPECT_FALSE(parse_text_line("title=x", "name=", text, 64));
    EXPECT_FALSE(parse_text_line(" name=x", "name=", text, 64, LeadingBlanks::Keep));
    EXPECT_FALSE(parse_text_line("name=x", "name=", text, 0));
    EXPECT_FALSE(parse_short_text_line("nam", "name=", text));
    EXPECT_EQ(text, "unchanged");
}

TEST(ParseShortTextLine, KeepsAtMost249Bytes) {
    std::string text;
    ASSERT_TRUE(parse_short_text_line("  comment=" + std::string(300, 'x'), "comment=", text));
    EXPECT_EQ(text, std::string(249, 'x'));
}

}  // namespace
}  // namespace kb::core
