#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <limits>
#include <vector>

#include "config/chart_settings.h"
#include "core/fixed_text.h"
#include "config/login_record.h"
#include "config/sound_events.h"
#include "config/trade_settings.h"
#include "config/utf16_text.h"
#include "net/scramble.h"

namespace kb::config {
namespace {

constexpr int64_t kNow = 1'700'000'000;

template <typename Record>
std::vector<uint8_t> plain_bytes(const Record& record) {
    std::vector<uint8_t> bytes(sizeof record);
    std::memcpy(bytes.data(), &record, sizeof record);
    return bytes;
}

std::vector<uint8_t> scrambled_bytes(const LoginRecord& record) {
    std::vector<uint8_t> bytes = plain_bytes(record);
    net::file_scramble(bytes);
    return bytes;
}

LoginRecord sample_login() {
    LoginRecord record = default_login_record(kNow);
    record.login = 123456;
    core::set_field_text(record.password, "secret1");
    core::set_field_text(record.server, "Broker-Live");
    core::set_field_text(record.account_server, "acct.example:443");
    record.mode = 1;
    record.max_bars = 5000;
    record.reserved_292[7] = 0x5A;
    record.reserved_528[247] = 0xA5;
    return record;
}

// ---- login record ----

TEST(LoginRecordFile, RoundTripsThroughScrambledImage) {
    LoginRecord record = sample_login();
    platform::SeededRandom random(1);
    uint8_t image[sizeof(LoginRecord)];
    serialize_login_record(record, image, random);
    EXPECT_NE(std::memcmp(image, &record, sizeof image), 0) << "the file must not hold the record in plain";

    LoginRecord loaded = parse_login_record(image, kNow + 500);
    EXPECT_EQ(loaded.login, 123456);
    EXPECT_EQ(core::field_text(loaded.password), "secret1");
    EXPECT_EQ(core::field_text(loaded.server), "Broker-Live");
    EXPECT_EQ(core::field_text(loaded.account_server), "acct.example:443");
    EXPECT_EQ(loaded.max_bars, 5000);
    EXPECT_EQ(loaded.created_time, static_cast<int32_t>(kNow)) << "creation time comes from the file";
    EXPECT_EQ(loaded.reserved_292[7], 0x5A);
    EXPECT_EQ(loaded.reserved_528[247], 0xA5);
}

TEST(LoginRecordFile, IsOneChainOverAllBytes) {
    LoginRecord record = sample_login();
    platform::SeededRandom random(1);
    uint8_t image[sizeof(LoginRecord)];
    serialize_login_record(record, image, random);
    std::vector<uint8_t> expected = plain_bytes(record);
    net::file_scramble(expected);
    EXPECT_EQ(std::memcmp(image, expected.data(), sizeof image), 0);
}

TEST(LoginRecordFile, ShortMissingOrOtherVersionGiveDefaults) {
    LoginRecord other_version = sample_login();
    other_version.version = 401;
    std::vector<uint8_t> full = scrambled_bytes(sample_login());
    const std::vector<std::vector<uint8_t>> cases = {
        {},
        std::vector<uint8_t>(full.begin(), full.end() - 1),
        scrambled_bytes(other_version),
        std::vector<uint8_t>(776, 0xFF),
    };
    for (const auto& bytes : cases) {
        LoginRecord loaded = parse_login_record(bytes, kNow);
        EXPECT_EQ(loaded.version, 400) << bytes.size();
        EXPECT_EQ(loaded.login, 0);
        EXPECT_EQ(core::field_text(loaded.server), "");
        EXPECT_EQ(loaded.max_bars, 16000);
        EXPECT_EQ(loaded.server_chosen, 1);
        EXPECT_EQ(loaded.keep_personal_data, 1);
        EXPECT_EQ(loaded.option_500, 1);
        EXPECT_EQ(loaded.enable_news, 1);
        EXPECT_EQ(loaded.created_time, static_cast<int32_t>(kNow));
    }
}

TEST(LoginRecordFile, LoadRepairsMaxBarsCopiesModeAndTerminatesTexts) {
    LoginRecord record = sample_login();
    record.max_bars = -3;
    record.mode = 7;
    record.mode_in_effect = 0;
    std::memset(record.password, 'p', sizeof record.password);
    std::memset(record.server, 's', sizeof record.server);
    std::vector<uint8_t> bytes = scrambled_bytes(record);
    bytes.resize(bytes.size() + 100, 0x33);   // trailing bytes are ignored

    LoginRecord loaded = parse_login_record(bytes, kNow);
    EXPECT_EQ(loaded.max_bars, 16000);
    EXPECT_EQ(loaded.mode_in_effect, 7);
    EXPECT_EQ(core::field_text(loaded.password).size(), 15u);
    EXPECT_EQ(core::field_text(loaded.server).size(), 127u);
}

TEST(LoginRecordFile, WithoutKeepPersonalDataThePasswordIsEmptyAndItsFillerChanges) {
    LoginRecord record = sample_login();
    record.keep_personal_data = 0;
    uint8_t first[sizeof(LoginRecord)];
    uint8_t second[sizeof(LoginRecord)];
    platform::SeededRandom random(1);
    serialize_login_record(record, first, random);
    serialize_login_record(record, second, random);

    LoginRecord a = parse_login_record(first, kNow);
    LoginRecord b = parse_login_record(second, kNow);
    EXPECT_EQ(a.password[0], '\0');
    EXPECT_EQ(b.password[0], '\0');
    EXPECT_NE(std::memcmp(a.password + 1, b.password + 1, 14), 0) << "15 random bytes after the empty password";
    EXPECT_EQ(a.login, 123456) << "only the password is dropped";
}

TEST(LoginRecordFile, PasswordFillerIsDrawnFromTheGivenGenerator) {
    LoginRecord record = sample_login();
    record.keep_personal_data = 0;
    const auto saved_with = [&](uint64_t seed) {
        platform::SeededRandom random(seed);
        std::array<uint8_t, sizeof(LoginRecord)> image{};
        serialize_login_record(record, image, random);
        return image;
    };
    EXPECT_EQ(saved_with(42), saved_with(42)) << "the same seed gives the same file";
    EXPECT_NE(saved_with(42), saved_with(43));

    // Byte for byte: the record with its password emptied and followed by the low bytes of
    // the generator's first 15 numbers, scrambled as one chain.
    LoginRecord expected = record;
    platform::SeededRandom generator(42);
    expected.password[0] = '\0';
    for (size_t i = 1; i < sizeof expected.password; ++i)
        expected.password[i] = static_cast<char>(generator.next() & 0xFF);
    const std::array<uint8_t, sizeof(LoginRecord)> image = saved_with(42);
    EXPECT_EQ(std::vector<uint8_t>(image.begin(), image.end()), scrambled_bytes(expected));
}

// ---- chart settings ----

TEST(ChartSettingsFile, OtherVersionOrShortGivesDefaultsFromMaxBars) {
    ChartSettings stored = default_chart_settings(16000);
    stored.version = 399;
    const std::pair<std::vector<uint8_t>, int32_t> cases[] = {
        {plain_bytes(stored), 5000}, {{1, 2, 3}, 0}, {{}, -7}, {plain_bytes(stored), 20000}};
    for (const auto& [bytes, max_bars] : cases) {
        ChartSettings loaded = parse_chart_settings(bytes, max_bars);
        const int32_t expected = max_bars < 1 ? 16000 : max_bars;
        EXPECT_EQ(loaded.version, 400);
        EXPECT_EQ(loaded.option_4, 1);
        EXPECT_EQ(loaded.option_8, 0);
        EXPECT_EQ(loaded.option_12, 1);
        EXPECT_EQ(loaded.option_16, 1);
        EXPECT_EQ(loaded.bars_per_chart, expected);
        EXPECT_EQ(loaded.bars_per_history_file, expected + 64);
    }
}

// A damaged login record may carry any maximum; the history file's limit stays the largest.
TEST(ChartSettingsFile, HugeMaxBarsKeepTheHistoryFileLimitPositive) {
    const ChartSettings settings = default_chart_settings(std::numeric_limits<int32_t>::max());
    EXPECT_EQ(settings.bars_per_chart, std::numeric_limits<int32_t>::max());
    EXPECT_EQ(settings.bars_per_history_file, std::numeric_limits<int32_t>::max());
}

TEST(ChartSettingsFile, KeepsStoredValuesAndClampsNegativeLimits) {
    ChartSettings stored = default_chart_settings(16000);
    stored.option_8 = 9;
    stored.chart_options[255] = 0x77;
    stored.bars_per_chart = -1;
    stored.bars_per_history_file = -64;
    ChartSettings loaded = parse_chart_settings(plain_bytes(stored), 3000);
    EXPECT_EQ(loaded.option_8, 9);
    EXPECT_EQ(loaded.chart_options[255], 0x77);
    EXPECT_EQ(loaded.bars_per_chart, 0);
    EXPECT_EQ(loaded.bars_per_history_file, 0);
}

// ---- trade settings ----

TEST(TradeSettingsFile, NegativeLimitsLoadAsZero) {
    TradeSettings stored = default_trade_settings();
    stored.value_8 = -5;
    stored.value_12 = -1;
    TradeSettings loaded = parse_trade_settings(plain_bytes(stored));
    EXPECT_EQ(loaded.value_8, 0);
    EXPECT_EQ(loaded.value_12, 0);
}

TEST(TradeSettingsFile, ForcedValuesTerminatorsAndDialogFieldsOnLoad) {
    TradeSettings stored = default_trade_settings();
    stored.forced_zero_4 = 8;
    stored.forced_one_16 = 0;
    stored.forced_zero_44 = 3;
    stored.value_8 = 250;
    std::memset(stored.text_20, 'x', sizeof stored.text_20);
    std::memset(stored.text_32, 'y', sizeof stored.text_32);
    stored.dialog_fields[0] = 0x42;
    TradeSettings loaded = parse_trade_settings(plain_bytes(stored));
    EXPECT_EQ(loaded.forced_zero_4, 0);
    EXPECT_EQ(loaded.forced_one_16, 1);
    EXPECT_EQ(loaded.forced_zero_44, 0);
    EXPECT_EQ(loaded.value_8, 250);
    EXPECT_EQ(core::field_text(loaded.text_20), "xxxxxxxxxxx");
    EXPECT_EQ(core::field_text(loaded.text_32), "yyyyyyyyyyy");
    EXPECT_EQ(loaded.dialog_fields[0], 0x42);
}

TEST(TradeSettingsFile, ShortOrOtherVersionGivesDefaults) {
    TradeSettings stored = default_trade_settings();
    stored.value_8 = 7;
    std::vector<uint8_t> short_file = plain_bytes(stored);
    short_file.pop_back();
    stored.version = 401;
    for (const auto& bytes : {short_file, plain_bytes(stored)}) {
        TradeSettings loaded = parse_trade_settings(bytes);
        EXPECT_EQ(loaded.version, 400);
        EXPECT_EQ(loaded.value_8, 100);
        EXPECT_EQ(loaded.value_12, 100);
        EXPECT_EQ(loaded.forced_one_16, 1);
    }
}

TEST(TradeSettingsFile, SaveImageCarriesVersionAndForcedValues) {
    TradeSettings settings{};
    settings.forced_zero_4 = 5;
    settings.forced_zero_44 = 5;
    settings.value_12 = 33;
    TradeSettings saved = prepared_for_save(settings);
    EXPECT_EQ(saved.version, 400);
    EXPECT_EQ(saved.forced_zero_4, 0);
    EXPECT_EQ(saved.forced_one_16, 1);
    EXPECT_EQ(saved.forced_zero_44, 0);
    EXPECT_EQ(saved.value_12, 33);
}

// ---- sound events ----

TEST(SoundEventsFile, BuiltInTable) {
    SoundEvents events = to_sound_events(default_sound_events());
    const std::pair<const char*, const char*> expected[] = {
        {"Connect", "connect.wav"}, {"Disconnect", "disconnect.wav"}, {"Email Notify", "email.wav"},
        {"Timeout", "timeout.wav"}, {"Ok", "ok.wav"},                 {"News", "news.wav"},
        {"Alert", "alert.wav"},     {"Requote", "alert.wav"}};
    for (size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(events.entries[i].name, expected[i].first);
        EXPECT_EQ(events.entries[i].action, expected[i].second);
        EXPECT_EQ(events.entries[i].enabled, 1);
    }
    for (size_t i = 8; i < 16; ++i) {
        EXPECT_EQ(events.entries[i].name, "");
        EXPECT_EQ(events.entries[i].enabled, 0);
    }
    EXPECT_EQ(events.sounds_enabled, 1);
}

TEST(SoundEventsFile, FileTextsAreUtf16LittleEndian) {
    SoundEventsRecord record = default_sound_events();
    const uint8_t connect[] = {'C', 0, 'o', 0, 'n', 0, 'n', 0, 'e', 0, 'c', 0, 't', 0, 0, 0};
    EXPECT_EQ(std::memcmp(record.entries[0].name, connect, sizeof connect), 0);
    EXPECT_EQ(record.version, 401);
}

TEST(SoundEventsFile, Version400OrShortGivesBuiltInTable) {
    SoundEvents custom = to_sound_events(default_sound_events());
    custom.entries[2].action = "custom.wav";
    custom.sounds_enabled = 0;
    SoundEventsRecord stored = to_sound_events_record(custom);
    stored.version = 400;
    std::vector<uint8_t> short_file = plain_bytes(to_sound_events_record(custom));
    short_file.resize(5191);
    for (const auto& bytes : {plain_bytes(stored), short_file}) {
        SoundEvents loaded = to_sound_events(parse_sound_events(bytes));
        EXPECT_EQ(loaded.entries[2].action, "email.wav");
        EXPECT_EQ(loaded.sounds_enabled, 1);
    }
}

TEST(SoundEventsFile, RoundTripAndCutTexts) {
    SoundEvents events = to_sound_events(default_sound_events());
    events.entries[9] = {"Caf\xC3\xA9 \xF0\x9F\x94\x94", "/home/u/ding.wav", 1};
    events.sounds_enabled = 0;
    SoundEvents loaded = to_sound_events(parse_sound_events(plain_bytes(to_sound_events_record(events))));
    EXPECT_EQ(loaded.entries[9].name, events.entries[9].name);
    EXPECT_EQ(loaded.entries[9].action, events.entries[9].action);
    EXPECT_EQ(loaded.entries[9].enabled, 1);
    EXPECT_EQ(loaded.sounds_enabled, 0);

    // A file whose texts fill their fields loads them cut to 31 and 127 characters.
    SoundEventsRecord full = default_sound_events();
    std::memset(full.entries[0].name, 'n', sizeof full.entries[0].name);
    std::memset(full.entries[0].action, 'a', sizeof full.entries[0].action);
    SoundEvents cut = to_sound_events(parse_sound_events(plain_bytes(full)));
    EXPECT_EQ(cut.entries[0].name.size(), 31u * 3) << "each unit 0x6E6E is a three-byte UTF-8 character";
    EXPECT_EQ(cut.entries[0].action.size(), 127u * 3);
}

// ---- UTF-16 fields ----

TEST(Utf16Field, ConvertsAndCutsWithoutSplittingPairs) {
    const struct {
        const char* utf8;
        size_t field_units;
        const char* back;
    } cases[] = {
        {"abc", 4, "abc"},
        {"abcd", 4, "abc"},
        {"\xC3\xA9t\xC3\xA9", 8, "\xC3\xA9t\xC3\xA9"},
        {"a\xF0\x9F\x94\x94", 3, "a"},                   // the pair would not fit with its NUL
        {"a\xF0\x9F\x94\x94", 4, "a\xF0\x9F\x94\x94"},
        {"x\xFFy", 8, "x\xEF\xBF\xBDy"},                  // invalid byte
        {"\xED\xA0\x80", 8, "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},   // encoded surrogate
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> field(c.field_units * 2, 0xCC);
        utf8_to_utf16le_field(c.utf8, field);
        EXPECT_EQ(utf16le_field_to_utf8(field), c.back) << c.utf8;
        EXPECT_EQ(field[field.size() - 1], 0);
        EXPECT_EQ(field[field.size() - 2], 0);
    }
}

TEST(Utf16Field, UnpairedSurrogatesReadAsReplacement) {
    const uint8_t field[] = {0x00, 0xD8, 'a', 0, 0x00, 0xDC, 0, 0};
    EXPECT_EQ(utf16le_field_to_utf8(field), "\xEF\xBF\xBD" "a\xEF\xBF\xBD");
}

}  // namespace
}  // namespace kb::config
