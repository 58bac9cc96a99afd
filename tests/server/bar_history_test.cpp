#include <gtest/gtest.h>

#include <limits>

#include "server/bar_history.h"
#include "server/storage.h"
#include "tests/server/login_data_fixture.h"

namespace kb::server {
namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();

TEST(BarHistory, BarsOpenAtThePeriodsBoundaries) {
    const struct {
        int32_t period;
        int64_t time;
        int32_t open;
    } cases[] = {
        {1, 1'704'103'259, 1'704'103'200},        // 2024-01-01 10:00:59 -> 10:00
        {240, 1'704'103'200, 1'704'096'000},      // 10:00 -> 08:00
        {1440, 1'704'103'200, 1'704'067'200},     // -> midnight
        {10080, 1'704'276'000, 1'703'980'800},    // Wednesday 2024-01-03 -> Sunday 2023-12-31
        {10080, 1'703'980'800, 1'703'980'800},    // a Sunday midnight opens its own week
        {43200, 1'708'000'000, 1'706'745'600},    // 2024-02-15 -> 2024-02-01
        {43200, 1'709'251'199, 1'706'745'600},    // 2024-02-29 23:59:59 (leap day) -> 2024-02-01
        {43200, 1'709'251'200, 1'709'251'200},    // 2024-03-01
    };
    for (const auto& c : cases)
        EXPECT_EQ(BarHistory::bar_open_time(c.period, c.time), c.open) << c.period << " " << c.time;
    EXPECT_TRUE(BarHistory::is_chart_period(43200));
    EXPECT_FALSE(BarHistory::is_chart_period(120));
}

TEST(BarHistory, GeneratedFromTheSeedAndExtendedByLiveTicks) {
    std::string error;
    std::optional<ServerConfig> config = parse_server_config(testing_support::login_data_config(), error);
    ASSERT_TRUE(config) << error;
    const int64_t now = 1'704'103'200;
    BarHistory first(*config, now), second(*config, now);
    first.generate();
    second.generate();
    const std::vector<PointBar> hours = first.bars(0, 60, 0, kMax, 100000);
    ASSERT_EQ(hours.size(), 3u * 24 + 10) << "three days back from midnight, then today up to 10:00";
    EXPECT_EQ(hours.front().time, first.time_sign());
    const std::vector<PointBar> again = second.bars(0, 60, 0, kMax, 100000);
    ASSERT_EQ(again.size(), hours.size());
    for (size_t i = 0; i < hours.size(); ++i) {
        EXPECT_EQ(again[i].close, hours[i].close);
        EXPECT_GE(hours[i].high, std::max(hours[i].open, hours[i].close));
        EXPECT_LE(hours[i].low, std::min(hours[i].open, hours[i].close));
    }

    config->price_seed = 2;
    BarHistory other_seed(*config, now);
    other_seed.generate();
    EXPECT_NE(other_seed.bars(0, 60, 0, kMax, 1).at(0).close, hours.back().close);

    const Tick live[] = {{0, now + 30, 1.20000, 1.20012, 0}, {0, now + 90, 1.19000, 1.19012, 0}};
    first.on_ticks(live);
    const PointBar minute = first.bars(0, 1, 0, kMax, 2).at(0);
    EXPECT_EQ(minute.time, now);
    EXPECT_EQ(minute.close, 120000);
    const PointBar hour = first.bars(0, 60, 0, kMax, 1).at(0);
    EXPECT_EQ(hour.time, now);
    EXPECT_EQ(hour.close, 119000);
    EXPECT_EQ(hour.high, 120000);
    EXPECT_EQ(hour.volume, 2);
}

TEST(BarHistory, LiveTicksBeforeTheGenerationAreKept) {
    std::string error;
    std::optional<ServerConfig> config = parse_server_config(testing_support::login_data_config(), error);
    ASSERT_TRUE(config) << error;
    const int64_t now = 1'704'103'200;
    BarHistory history(*config, now);
    const Tick live[] = {{0, now + 30, 1.20000, 1.20012, 0}};
    history.on_ticks(live);
    history.generate();
    const std::vector<PointBar> hours = history.bars(0, 60, 0, kMax, 100000);
    ASSERT_EQ(hours.size(), 3u * 24 + 11);
    EXPECT_EQ(hours.back().time, now);
    EXPECT_EQ(hours.back().close, 120000);
    EXPECT_EQ(hours.back().volume, 1) << "the live bar, not a generated one";
    EXPECT_LT(hours[hours.size() - 2].time, now);
}

// A damaged database may hold bars from long before the server's first start or from after
// now: they are not the server's, and generating on from one decades old would take hours.
TEST(BarHistory, StoredBarsOutsideTheServersTimeAreDropped) {
    std::string error;
    std::optional<ServerConfig> config = parse_server_config(testing_support::login_data_config(), error);
    ASSERT_TRUE(config) << error;
    testing::TempFolder folder;
    std::unique_ptr<Storage> storage = Storage::open(folder.file("server.db"), error);
    ASSERT_TRUE(storage) << error;
    const int64_t now = 1'704'103'200;
    const int32_t origin = BarHistory(*config, now, storage.get()).time_sign();

    const int32_t long_before = origin - 400 * 86400;
    const int32_t after_now = static_cast<int32_t>(now) + 86400;
    for (int32_t time : {long_before, after_now}) {
        const BarSeriesWrite write{"EURUSD", 1, {PointBar{time, 110000, 110010, 109990, 110000, 3}}, 0};
        ASSERT_TRUE(storage->save_bars({&write, 1}));
    }
    BarHistory history(*config, now, storage.get());
    history.generate();
    const std::vector<PointBar> minutes = history.bars(0, 1, INT32_MIN, kMax, BarHistory::kMaxBarsKept);
    ASSERT_FALSE(minutes.empty());
    EXPECT_EQ(minutes.front().time, origin) << "generated from the origin, as without the stray bars";
    EXPECT_LE(minutes.back().time, now);
}

}  // namespace
}  // namespace kb::server
