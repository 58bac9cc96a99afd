#include <gtest/gtest.h>

#include <string>

#include "server/server_config.h"

namespace kb::server {
namespace {

// A small valid configuration; each failure case below breaks one thing in it.
const std::string kValid = R"({
  "server": {"name": "Test-Server", "identity": 7, "build": 445},
  "symbol_groups": ["Forex", "Metals"],
  "quote_hours": {"fx": {"monday": ["00:00-24:00"], "friday": ["00:00-22:00"], "sunday": ["22:00-02:00"]}},
  "groups": [{"name": "demo", "currency": "USD", "leverage": 100}],
  "instruments": [
    {"name": "EURUSD", "digits": 5, "point": 0.00001, "spread": 12, "start_price": 1.1,
     "margin_currency": "EUR", "profit_currency": "USD", "quote_hours": "fx"},
    {"name": "XAUUSD", "digits": 2, "point": 0.01, "spread": 30, "start_price": 2000, "symbol_group": 1,
     "margin_currency": "XAU", "profit_currency": "USD",
     "quote_hours": {"tuesday": ["01:00-23:00", "23:30-24:00"]}}
  ]
})";

std::string replaced(const std::string& from, const std::string& to) {
    std::string text = kValid;
    size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

TEST(ServerConfig, ReadsInstrumentsGroupsAndQuoteHours) {
    std::string error;
    std::optional<ServerConfig> config = parse_server_config(kValid, error);
    ASSERT_TRUE(config) << error;
    EXPECT_EQ(config->server.name, "Test-Server");
    EXPECT_EQ(config->default_group, "demo") << "the first group when none is named";
    ASSERT_EQ(config->instruments.size(), 2u);
    const InstrumentConfig& gold = config->instruments[1];
    EXPECT_EQ(gold.digits, 2);
    EXPECT_EQ(gold.symbol_group, 1);
    EXPECT_EQ(gold.quote_hours[2].windows[0].open_minute, 60);
    EXPECT_EQ(gold.quote_hours[2].windows[1].close_minute, 1440);
    EXPECT_EQ(gold.quote_hours[2].first_overnight_window, market::kQuoteWindowsPerDay) << "no window past midnight";
    const market::QuoteWeek& fx = config->instruments[0].quote_hours;
    EXPECT_EQ(fx[0].windows[0].open_minute, 22 * 60) << "sunday's window runs past midnight";
    EXPECT_EQ(fx[0].windows[0].close_minute, 2 * 60);
    EXPECT_EQ(fx[0].first_overnight_window, 0);
    EXPECT_EQ(fx[6].windows[0].open_minute, 0) << "saturday has no window";
    EXPECT_EQ(fx[6].windows[0].close_minute, 0);
}

TEST(ServerConfig, ChallengeSwitchReportsAnOlderBuild) {
    std::string error;
    std::optional<ServerConfig> config = parse_server_config(replaced("\"build\": 445", "\"build\": 445, \"challenge\": false"), error);
    ASSERT_TRUE(config) << error;
    EXPECT_EQ(config->reported_build(), kLastBuildWithoutChallenge);
    config->server.challenge = true;
    EXPECT_EQ(config->reported_build(), 445);
}

TEST(ServerConfig, RejectsFaultsWithTheirPlace) {
    const std::pair<std::string, std::string> cases[] = {
        {"{", "not valid JSON"},
        {"[]", "configuration: must be a JSON object"},
        {replaced("\"digits\": 5", "\"digits\": 9"), "instruments[0] (EURUSD): \"digits\" must be 0..8"},
        {replaced("\"point\": 0.00001", "\"point\": 0.0001"), "instruments[0] (EURUSD): \"point\" must be 10^-digits"},
        {replaced("\"spread\": 12", "\"spread\": 0"), "instruments[0] (EURUSD): \"spread\" must be 1..100000"},
        {replaced("\"spread\": 12", "\"spread\": \"12\""), "\"spread\" must be a whole number"},
        {replaced("\"name\": \"EURUSD\"", "\"name\": \"XAUUSD\""), "instruments[1]: the name \"XAUUSD\" is used twice"},
        {replaced("\"name\": \"EURUSD\"", "\"name\": \"ABCDEFGHIJKL\""), "\"name\" is longer than 11 characters"},
        {replaced("\"margin_currency\": \"EUR\"", "\"margin_currency\": \"eur\""), "must be three capital letters"},
        {replaced("\"quote_hours\": \"fx\"", "\"quote_hours\": \"fix\""), "names the unknown schedule \"fix\""},
        {replaced("\"00:00-22:00\"", "\"00:00-25:00\""), "quote_hours.fx.friday: window \"00:00-25:00\" is not"},
        {replaced("\"00:00-22:00\"", "\"10:00-10:00\""), "window \"10:00-10:00\" is empty"},
        {replaced("\"symbol_group\": 1", "\"symbol_group\": 2"), "\"symbol_group\" 2 has no entry"},
        {replaced("\"leverage\": 100", "\"leverage\": 100, \"levrage\": 5"), "groups[0]: unknown key \"levrage\""},
        {replaced("\"currency\": \"USD\"", "\"currency\": \"USD\", \"news\": 3"), "\"news\" must be 0..2"},
        {replaced("\"start_price\": 1.1", "\"start_price\": 0.0001"), "\"start_price\" must be above the spread"},
        {replaced("\"symbol_groups\": [\"Forex\", \"Metals\"],", "\"default_group\": \"gold\", \"symbol_groups\": [\"Forex\", \"Metals\"],"),
         "default_group: \"gold\" is not one of the groups"},
        {replaced("\"build\": 445", "\"build\": 70000"), "server: \"build\" must be 1..65535"},
        {replaced("\"server\": {", "\"listen\": {\"trade\": \"127.0.0.1:0\"}, \"server\": {"), "listen: \"trade\" must be HOST:PORT"},
        {replaced("\"groups\": [{\"name\": \"demo\", \"currency\": \"USD\", \"leverage\": 100}]", "\"groups\": []"),
         "groups: must be a list of at least one group"},
    };
    for (const auto& [text, expected] : cases) {
        std::string error;
        EXPECT_FALSE(parse_server_config(text, error));
        EXPECT_NE(error.find(expected), std::string::npos) << "expected \"" << expected << "\" in \"" << error << "\"";
    }
}

TEST(ServerConfig, DamagedTextsGiveAnErrorOrAConfiguration) {
    uint64_t state = 99;
    auto next = [&] {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<size_t>(state >> 33);
    };
    const std::string pieces[] = {"{", "}", "[", "]", "\"", ":", ",", "-1", "1e999", "null", "true", "\"24:00-00:00\""};
    for (int round = 0; round < 3000; ++round) {
        std::string text = kValid;
        for (int edit = 0; edit < 1 + static_cast<int>(next() % 4); ++edit) {
            size_t at = next() % text.size();
            switch (next() % 3) {
                case 0: text.erase(at, 1 + next() % 8); break;
                case 1: text.insert(at, pieces[next() % std::size(pieces)]); break;
                default: text[at] = static_cast<char>(next() % 128); break;
            }
            if (text.empty()) text = "{";
        }
        std::string error;
        std::optional<ServerConfig> config = parse_server_config(text, error);
        EXPECT_NE(config.has_value(), !error.empty()) << text;
        if (config) {
            EXPECT_FALSE(config->instruments.empty());
        }
    }
}

TEST(ServerConfig, ShippedDefaultIsValid) {
    std::string error;
    std::optional<ServerConfig> config = load_server_config(DEFAULT_CONFIG_PATH, error);
    ASSERT_TRUE(config) << error;
    EXPECT_GE(config->instruments.size(), 20u);
    EXPECT_EQ(config->trade_listen, "127.0.0.1:4443");
    EXPECT_EQ(config->history_listen, "127.0.0.1:4444");
    EXPECT_GE(config->reported_build(), 413);
    bool three_digits = false, five_digits = false;
    for (const InstrumentConfig& instrument : config->instruments) {
        three_digits = three_digits || instrument.digits == 3;
        five_digits = five_digits || instrument.digits == 5;
    }
    EXPECT_TRUE(three_digits && five_digits);
    EXPECT_TRUE(config->find_instrument("XAUUSD"));
}

TEST(ServerConfig, UnreadableFileNamesThePath) {
    std::string error;
    EXPECT_FALSE(load_server_config("/nonexistent/demo.json", error));
    EXPECT_EQ(error, "/nonexistent/demo.json: can't be read");
}

}  // namespace
}  // namespace kb::server
