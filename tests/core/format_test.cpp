#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <string>

#include "core/number_format.h"
#include "core/period_names.h"

namespace kb::core {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

TEST(PowerOfTen, TableAndComputedPowers) {
    double expected = 1.0;
    for (int exponent = 0; exponent <= 8; ++exponent, expected *= 10) EXPECT_EQ(power_of_ten(exponent), expected);
    EXPECT_DOUBLE_EQ(power_of_ten(9), 1e9);
    EXPECT_DOUBLE_EQ(power_of_ten(-2), 0.01);
}

TEST(Normalize, RoundsHalfAwayFromZeroWithTheTieMargin) {
    struct Case {
        double value;
        int digits;
        double expected;
    };
    const Case cases[] = {
        {1.234565, 5, 1.23457},  {-1.234565, 5, -1.23457}, {1.5, 0, 2.0},          {-1.5, 0, -2.0},
        {2.5, 0, 3.0},           {-2.5, 0, -3.0},          {0.125, 2, 0.13},       {-0.125, 2, -0.13},
        {1.005, 2, 1.01},        {1.23449, 3, 1.234},      {-1.23449, 3, -1.234},  {0.0, 5, 0.0},
        {1.4999, 0, 1.0},        {1.123456789, 12, 1.12345679},  // digits above 8 count as 8
        {1.6, -3, 2.0},                                          // digits below 0 count as 0
        {123456.123456789, 8, 123456.12345679},
    };
    for (const Case& c : cases) EXPECT_DOUBLE_EQ(normalize(c.value, c.digits), c.expected) << c.value << " " << c.digits;
    EXPECT_TRUE(std::isnan(normalize(kNaN, 2)));
    EXPECT_EQ(normalize(1e300, 8), 1e300);
}

TEST(PriceText, PrintsWithinTheLimits) {
    struct Case {
        double value;
        int digits;
        const char* expected;
    };
    const Case cases[] = {
        {1.2345, 4, "1.2345"},
        {1.23456, 5, "1.23456"},
        {1.2, 5, "1.20000"},
        {-0.5, 2, "-0.50"},
        {107.375, 0, "107"},
        {0.000123456, 8, "0.00012346"},
        {9999999999.99, 2, "9999999999.99"},
        {-9999999999.0, 0, "-9999999999"},
        {10000000000.0, 2, ""},
        {-10000000000.0, 2, ""},
        {1e300, 2, ""},
        {1.5, 9, ""},
        {1.5, -1, ""},
        {kNaN, 2, ""},
        {kInfinity, 2, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(price_text(c.value, c.digits), c.expected) << c.value << " " << c.digits;
    EXPECT_LE(price_text(-9999999999.99999, 8).size(), 31u) << "fits an 8-bit price field";
}

TEST(ShortPriceText, DropsUpToTwoTrailingZerosThenThePoint) {
    struct Case {
        double value;
        int digits;
        const char* expected;
    };
    const Case cases[] = {
        {1.5, 2, "1.50"},   {2.0, 0, "2"},         {1.23456, 2, "1.2346"}, {1.2, 3, "1.200"},
        {100.0, 0, "100"},  {0.1, 1, "0.1"},       {-3.0, 1, "-3.0"},      {1.23456789, 8, "1.23456789"},
        {kNaN, 2, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(short_price_text(c.value, c.digits), c.expected) << c.value << " " << c.digits;
}

TEST(MoneyText, GroupsThousandsWithOneBlank) {
    struct Case {
        double value;
        int decimals;
        const char* expected;
    };
    const Case cases[] = {
        {1234567.891, 2, "1 234 567.89"},
        {-1234567.891, 2, "-1 234 567.89"},
        {0.05, 2, "0.05"},
        {999.0, 0, "999"},
        {1000.0, 0, "1 000"},
        {-1000.0, 0, "-1 000"},
        {100000.0, 0, "100 000"},
        {1.005, 2, "1.01"},               // the tie margin, as in normalize
        {-0.001, 2, "0.00"},              // rounds to zero: no lone minus sign
        {0.5, 7, "0.5000000"},
        {123456.7, 8, "123 457"},         // decimals above 7 count as 0
        {12.3456, -1, "12"},
        {922337203685.47, 2, "922 337 203 685.47"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(money_text(c.value, c.decimals, 64), c.expected) << c.value << " " << c.decimals;
}

TEST(MoneyText, HugeAmountsAreCutFromEightDecimals) {
    struct Case {
        double value;
        int decimals;
        const char* expected;
    };
    const Case cases[] = {
        {1e13, 2, "10 000 000 000 000.00"},
        {-1e13, 2, "-10 000 000 000 000.00"},
        {1e20, 3, "100 000 000 000 000 000 000.000"},
        {1e15, 0, "1 000 000 000 000 000"},
        // Stored as ...876.546875: cut to .5 where rounding would give .6.
        {98765432109876.54321, 1, "98 765 432 109 876.5"},
        // Scaled 922337203685477.8, just past the integer branch: cut, not rounded up.
        {92233720368547.78, 1, "92 233 720 368 547.7"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(money_text(c.value, c.decimals, 64), c.expected) << c.value << " " << c.decimals;
    EXPECT_EQ(money_text(kNaN, 2, 64), "");
    EXPECT_EQ(money_text(-kInfinity, 2, 64), "");
}

TEST(MoneyText, EmptyWhenTheCallersBufferIsTooSmall) {
    EXPECT_EQ(money_text(1234567.891, 2, 13), "1 234 567.89");   // 12 characters and the NUL
    EXPECT_EQ(money_text(1234567.891, 2, 12), "");
    EXPECT_EQ(money_text(1e20, 3, 31), "");
    EXPECT_EQ(money_text(0.0, 0, 0), "");
    EXPECT_EQ(money_text(0.0, 0, 2), "0");
}

TEST(TrimmedNumberText, RemovesOnlyFractionZeros) {
    struct Case {
        double value;
        int decimals;
        const char* expected;
    };
    const Case cases[] = {
        {2.50, 2, "2.5"},   {100.0, 0, "100"}, {100.0, 2, "100"},    {0.1, 4, "0.1"},
        {-1.23, 3, "-1.23"}, {5.0, -1, "5"},   {1e-9, 2, "0"},       {1.999, 2, "2"},
        {120.0, 1, "120"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(trimmed_number_text(c.value, c.decimals), c.expected) << c.value << " " << c.decimals;
}

TEST(FixedPointToNumber, InsertsThePointBeforeTheLastDigits) {
    struct Case {
        int value;
        int decimals;
        double expected;
    };
    const Case cases[] = {
        {12345, 5, 0.12345}, {123456, 2, 1234.56}, {5, 2, 0.05},   {-5, 2, -0.05},
        {1234567, 3, 1234.567}, {-123, 5, -0.00123}, {42, 0, 42.0}, {42, 6, 42.0},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(fixed_point_to_number(c.value, c.decimals), c.expected) << c.value << " " << c.decimals;
}

TEST(NumberText, DecimalPointDoesNotFollowTheLocale) {
    EXPECT_DOUBLE_EQ(number_from_text("  -12.5e1xyz"), -125.0);
    EXPECT_DOUBLE_EQ(number_from_text("+3.25"), 3.25);
    EXPECT_EQ(number_from_text("abc"), 0.0);
    EXPECT_EQ(number_from_text(""), 0.0);
    EXPECT_EQ(fixed_text(1.25, 1), "1.2") << "printf's rounding of the exact binary value";
    EXPECT_EQ(fixed_text(-0.0001, 2), "-0.00");

    const char* comma_locales[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "ru_RU.UTF-8"};
    std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    const char* chosen = nullptr;
    for (const char* name : comma_locales)
        if (std::setlocale(LC_NUMERIC, name)) {
            chosen = name;
            break;
        }
    if (!chosen) GTEST_SKIP() << "no locale with a decimal comma installed";
    std::string price = price_text(1.25, 2), money = money_text(1234.5, 2, 64);
    double parsed = number_from_text("1.5");
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(price, "1.25") << chosen;
    EXPECT_EQ(money, "1 234.50") << chosen;
    EXPECT_EQ(parsed, 1.5) << chosen;
}

TEST(CommaToPoint, ReplacesEveryComma) {
    std::string text = "1,5;2,75,";
    comma_to_point(text);
    EXPECT_EQ(text, "1.5;2.75.");
}

TEST(PeriodName, NamesEveryPeriod) {
    const std::pair<int, const char*> cases[] = {
        {1, "M1"},       {5, "M5"},           {15, "M15"},        {30, "M30"},        {60, "H1"},
        {240, "H4"},     {1440, "Daily"},     {10080, "Weekly"},  {43200, "Monthly"}, {120, "H2"},
        {2880, "D2"},    {20160, "W2"},       {90, "M90"},        {2, "M2"},          {180, "H3"},
        {4320, "D3"},    {86400, "D60"},      {100800, "W10"},    {61, "M61"},        {0, ""},
        {-60, ""},       {-1440, ""},
    };
    for (auto [minutes, name] : cases) EXPECT_EQ(period_name(minutes), name) << minutes;
    EXPECT_EQ(chart_title("EURUSD", 240), "EURUSD,H4");
}

TEST(TradeTypeName, NamesTheEightTypesAndErrorOtherwise) {
    const char* names[] = {"buy", "sell", "buy limit", "sell limit", "buy stop", "sell stop", "balance", "credit"};
    for (int type = 0; type < 8; ++type) EXPECT_EQ(trade_type_name(type), names[type]) << type;
    for (int type : {-1, 8, 100}) EXPECT_EQ(trade_type_name(type), "error") << type;
}

}  // namespace
}  // namespace kb::core
