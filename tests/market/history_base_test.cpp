#include "market/history_base.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "market/bar_repair.h"
#include "market/hst_file.h"
#include "market/quote_hours.h"
#include "market_test_support.h"
#include "platform/file_faults.h"
#include "platform/files.h"
#include "tests/support/temp_folder.h"

namespace kb::market {
namespace {

using testing::all_day_symbol;
using testing::hst_bytes;
using testing::make_symbol;
using testing::make_tick;

// 2026-12-07 was a Monday.
constexpr int32_t kMonday = 1796601600;
constexpr int32_t kHour = 3600;

BarRecord bar(int32_t time, double open, double low, double high, double close, double volume = 10) {
    return BarRecord{time, open, low, high, close, volume};
}

std::vector<BarRecord> hourly_bars(int32_t from, int count, double price = 1.1) {
    std::vector<BarRecord> bars;
    for (int i = 0; i < count; ++i) bars.push_back(bar(from + i * kHour, price, price - 0.001, price + 0.001, price));
    return bars;
}

std::vector<int32_t> times_of(const std::vector<BarRecord>& bars) {
    std::vector<int32_t> times;
    for (const BarRecord& b : bars) times.push_back(b.time);
    return times;
}

// Bars compared byte for byte: a mix of old and new prices counts as a difference.
bool same_bars(const std::vector<BarRecord>& a, const std::vector<BarRecord>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(BarRecord)) == 0;
}

std::vector<BarRecord> bars_in(const std::vector<uint8_t>& file) {
    std::vector<BarRecord> bars(file.size() > 148 ? (file.size() - 148) / 44 : 0);
    if (!bars.empty()) std::memcpy(bars.data(), file.data() + 148, bars.size() * 44);
    return bars;
}

class HistoryBaseTest : public ::testing::Test {
protected:
    HistoryBaseTest() : journal(folder.path()) {}
    ~HistoryBaseTest() override { platform::clear_file_faults(); }

    std::string path(std::string_view file, const std::string& server = "Demo") const {
        return folder.file("history/" + server + "/" + std::string(file));
    }
    void write(std::string_view file, const std::vector<uint8_t>& bytes, const std::string& server = "Demo") {
        platform::make_directory(folder.file("history"));
        platform::make_directory(folder.file("history/" + server));
        ASSERT_TRUE(platform::write_file_atomic(path(file, server), bytes));
    }
    std::vector<uint8_t> read(std::string_view file) const {
        auto bytes = platform::read_file(path(file));
        return bytes ? *bytes : std::vector<uint8_t>{};
    }
    std::unique_ptr<HistoryBase> open(int period = 60, const SymbolRecord& symbol = all_day_symbol(),
                                      Offline offline = Offline::No) {
        return HistoryBase::create(symbol, period, offline, {folder.path(), "Demo", memory, in_file}, journal.get());
    }

    ::kb::testing::TempFolder folder;
    testing::CapturedJournal journal;
    size_t memory = 1000;
    size_t in_file = 1000;
};

TEST_F(HistoryBaseTest, PeriodAndNameAreChecked) {
    EXPECT_FALSE(open(0));
    EXPECT_FALSE(open(43201));
    EXPECT_TRUE(open(43200));
    EXPECT_TRUE(open(7));
    EXPECT_FALSE(open(60, all_day_symbol("../x")));
}

TEST_F(HistoryBaseTest, TicksBuildBarsAndSaveWritesTheFileExactly) {
    {
        auto history = open();
        const TickRecord ticks[] = {make_tick(1, kMonday + 10 * kHour + 5, 1.10002f, 1.1003f),
                                    make_tick(1, kMonday + 10 * kHour + 9, 1.10010f, 1.1003f),
                                    make_tick(1, kMonday + 10 * kHour + 20, 1.09990f, 1.1003f),
                                    make_tick(1, kMonday + 11 * kHour, 1.10005f, 1.1003f)};
        for (const TickRecord& tick : ticks) EXPECT_TRUE(history->add_tick(tick));
        EXPECT_EQ(history->version(), 100 + 4);
    }
    std::vector<uint8_t> bytes = read("EURUSD60.hst");
    ASSERT_EQ(bytes.size(), 148u + 2 * 44u);
    HistoryFileHeader header;
    std::memcpy(&header, bytes.data(), sizeof header);
    EXPECT_EQ(int32_t{header.version}, 400);
    EXPECT_EQ(core::field_text(header.symbol), "EURUSD");
    EXPECT_EQ(int32_t{header.period}, 60);
    EXPECT_EQ(int32_t{header.digits}, 5);
    EXPECT_EQ(core::field_text(header.notice), kHistoryNotice);
    const uint8_t zero[52] = {};
    EXPECT_EQ(std::memcmp(bytes.data() + 96, zero, sizeof zero), 0);

    std::vector<uint8_t> expected_bars(2 * 44);
    const BarRecord bars[] = {bar(kMonday + 10 * kHour, 1.10002, 1.0999, 1.1001, 1.0999, 3),
                              bar(kMonday + 11 * kHour, 1.10005, 1.10005, 1.10005, 1.10005, 1)};
    std::memcpy(expected_bars.data(), bars, sizeof bars);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 148, bytes.end()), expected_bars);
}

TEST_F(HistoryBaseTest, TickOlderThanTheNewestBarIsRefused) {
    write("EURUSD60.hst", hst_bytes("EURUSD", 60, hourly_bars(kMonday, 3)));
    auto history = open();
    const int32_t newest = kMonday + 2 * kHour;
    EXPECT_FALSE(history->add_tick(make_tick(1, newest - 1, 1.1f, 1.1002f)));
    ASSERT_FALSE(journal.lines().empty());
    EXPECT_EQ(journal.lines().back(), "Old tick EURUSD60 1.10000/1.10020");
    EXPECT_FALSE(history->add_tick(make_tick(1, newest, std::numeric_limits<float>::quiet_NaN(), 1.1002f)));
    EXPECT_TRUE(history->add_tick(make_tick(1, newest, 1.1f, 1.1002f)));
    EXPECT_EQ(history->bar_count(), 3u);
}

TEST_F(HistoryBaseTest, TickWhoseBarWouldOpenBeforeTheImportedNewestBarIsRefused) {
    struct Case {
        int period;
        int32_t newest;   // open time of the newest imported bar
        int32_t older;    // a tick of an earlier bar, newer than any tick seen
        int32_t inside;   // a tick of the newest bar
    };
    const Case cases[] = {
        {60, kMonday + 11 * kHour, kMonday + 10 * kHour + 30 * 60, kMonday + 11 * kHour + 20 * 60},
        {1440, kMonday + 24 * kHour, kMonday + 15 * kHour, kMonday + 30 * kHour},
    };
    for (const Case& c : cases) {
        auto history = open(c.period);
        const BarRecord imported[] = {bar(c.newest - c.period * 60, 1.1, 1.09, 1.11, 1.1),
                                      bar(c.newest, 1.1, 1.09, 1.11, 1.1)};
        ASSERT_EQ(history->import_bars(imported, 0), 2u) << c.period;
        EXPECT_FALSE(history->add_tick(make_tick(1, c.older, 1.1f, 1.1002f))) << c.period;
        ASSERT_FALSE(journal.lines().empty());
        EXPECT_EQ(journal.lines().back(), "Old tick EURUSD" + std::to_string(c.period) + " 1.10000/1.10020");
        EXPECT_TRUE(history->add_tick(make_tick(1, c.inside, 1.105f, 1.1052f))) << c.period;
        EXPECT_EQ(times_of(history->bars()), (std::vector<int32_t>{c.newest - c.period * 60, c.newest})) << c.period;
        EXPECT_DOUBLE_EQ(static_cast<double>(history->bars().back().close), 1.105) << c.period;
    }
}

TEST_F(HistoryBaseTest, FileOfAnotherSymbolOrPeriodIsLeftUnreadAndUntouched) {
    const std::vector<uint8_t> foreign = hst_bytes("GBPUSD", 60, hourly_bars(kMonday, 3));
    write("EURUSD60.hst", foreign);
    {
        auto history = open();
        EXPECT_EQ(history->bar_count(), 0u);
        EXPECT_EQ(journal.lines().back(), "HistoryBase: database 'GBPUSD60' instead 'EURUSD60'");
    }
    EXPECT_EQ(read("EURUSD60.hst"), foreign);
}

TEST_F(HistoryBaseTest, WrongVersionOrShortHeaderDeletesTheFile) {
    const std::vector<uint8_t> cases[] = {hst_bytes("EURUSD", 60, hourly_bars(kMonday, 2), 401), {1, 2, 3}};
    for (const auto& bytes : cases) {
        write("EURUSD60.hst", bytes);
        auto history = open();
        EXPECT_EQ(history->bar_count(), 0u);
        EXPECT_FALSE(platform::file_exists(path("EURUSD60.hst")));
        EXPECT_EQ(journal.lines().back(), "HistoryBase: invalid database header for 'EURUSD60'");
    }
}

TEST_F(HistoryBaseTest, OneBadBarIsRepairedInMemoryTwoAreRewrittenAndJournaled) {
    std::vector<BarRecord> bars = hourly_bars(kMonday, 5);
    bars[1].low = 2.0;   // low above high
    const std::vector<uint8_t> one_error = hst_bytes("EURUSD", 60, bars);
    write("EURUSD60.hst", one_error);
    {
        auto history = open();
        EXPECT_EQ(history->bar_count(), 4u);
        EXPECT_FALSE(history->is_modified());
    }
    EXPECT_TRUE(journal.lines().empty());
    EXPECT_EQ(read("EURUSD60.hst"), one_error);

    bars[3].time = bars[2].time;   // same time as the previous kept bar: the first stays
    bars[3].open = 1.1005;
    write("EURUSD60.hst", hst_bytes("EURUSD", 60, bars));
    auto history = open();
    ASSERT_EQ(journal.lines().size(), 1u);
    EXPECT_EQ(journal.lines()[0], "HistoryBase: 2 errors in 'EURUSD60'");
    EXPECT_EQ(read("EURUSD60.hst").size(), 148u + 3 * 44u);
    std::vector<BarRecord> kept = history->bars();
    EXPECT_EQ(times_of(kept), (std::vector<int32_t>{kMonday, kMonday + 2 * kHour, kMonday + 4 * kHour}));
    EXPECT_DOUBLE_EQ(static_cast<double>(kept[1].open), 1.1);
}

TEST(BarRepair, EveryFaultCountsOnce) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        BarRecord bar;
        int errors;
        size_t kept;
    };
    const Case cases[] = {
        {bar(0, 1, 1, 1, 1), 1, 1},          {bar(-5, 1, 1, 1, 1), 1, 1},
        {bar(20, 0, 1, 1, 1), 1, 1},         {bar(20, 1, 1, 2, 3), 1, 1},
        {bar(20, 1, 1, 2e7, 1), 1, 1},       {bar(20, nan, 1, 1, 1), 1, 1},
        {bar(20, 1, 1, 1, 1, nan), 1, 1},    {bar(20, 1, 1, 1, 1, -1), 1, 2},
        {bar(20, 1, 1, 1, 1, 2e11), 1, 2},   {bar(5, 1, 1, 1, 1), 1, 2},
        {bar(10, 2, 2, 2, 2), 1, 1},         {bar(20, 1, 1, 1, 1), 0, 2},
    };
    for (const Case& c : cases) {
        std::vector<BarRecord> bars = {bar(10, 1, 1, 1, 1), c.bar};
        EXPECT_EQ(check_and_repair(bars), c.errors) << c.bar.time;
        ASSERT_EQ(bars.size(), c.kept) << c.bar.time;
        EXPECT_LE(bars.front().time, bars.back().time);
        if (c.kept == 2 && c.bar.time == 20) {
            EXPECT_EQ(static_cast<double>(bars[1].volume), c.errors ? 1.0 : 10.0);
        }
    }
}

TEST_F(HistoryBaseTest, ARepairedFileKeepsNoBarTheRepairDeleted) {
    std::vector<BarRecord> older_bad = hourly_bars(kMonday, 5);
    older_bad[0].low = older_bad[1].low = 2.0;   // low above high, before the first good bar
    std::vector<BarRecord> newer_first = hourly_bars(kMonday, 4);
    newer_first[0] = bar(kMonday + 3 * kHour, 1.2, 1.1, 1.3, 1.2, 0);   // out of order, volume 0
    newer_first[1].low = 2.0;
    struct Case {
        const char* name;
        std::vector<BarRecord> file;
        std::vector<int32_t> loaded;
    };
    const Case cases[] = {
        {"bad bars older than the first good one", older_bad,
         {kMonday + 2 * kHour, kMonday + 3 * kHour, kMonday + 4 * kHour}},
        // The duplicate the sort brings together keeps the first of the file.
        {"a newer bar before the others", newer_first, {kMonday + 2 * kHour, kMonday + 3 * kHour}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const size_t journaled = journal.lines().size();
        write("EURUSD60.hst", hst_bytes("EURUSD", 60, c.file));
        std::vector<BarRecord> loaded;
        {
            auto history = open();
            loaded = history->bars();
            ASSERT_EQ(times_of(loaded), c.loaded);
            EXPECT_TRUE(same_bars(bars_in(read("EURUSD60.hst")), loaded));
        }
        ASSERT_EQ(journal.lines().size(), journaled + 1);   // the repair's count
        auto history = open();
        EXPECT_EQ(journal.lines().size(), journaled + 1);   // nothing left to repair
        // Imported again, a bar an import refuses leaves its hour empty, also after a load.
        std::vector<BarRecord> acceptable;
        for (const BarRecord& b : loaded)
            if (is_acceptable_download(b)) acceptable.push_back(b);
        EXPECT_EQ(history->import_bars(loaded, 1), acceptable.size());
        history->load();
        EXPECT_TRUE(same_bars(history->bars(), acceptable));
    }
}

TEST_F(HistoryBaseTest, ImportReplacesExactlyTheStoredBarsBetweenTheFirstAndLastImportedTime) {
    write("EURUSD60.hst", hst_bytes("EURUSD", 60, hourly_bars(kMonday, 10, 1.1)));
    auto history = open();
    std::vector<BarRecord> incoming = hourly_bars(kMonday + 3 * kHour, 4, 1.2);
    incoming[1].low = 5.0;                     // fails the checks: its hour is gone
    std::swap(incoming[0], incoming[3]);       // any order
    EXPECT_EQ(history->import_bars(incoming, 1234), 3u);
    std::vector<BarRecord> bars = history->bars();
    EXPECT_EQ(times_of(bars), (std::vector<int32_t>{kMonday, kMonday + kHour, kMonday + 2 * kHour, kMonday + 3 * kHour,
                                                    kMonday + 5 * kHour, kMonday + 6 * kHour, kMonday + 7 * kHour,
                                                    kMonday + 8 * kHour, kMonday + 9 * kHour}));
    EXPECT_DOUBLE_EQ(static_cast<double>(bars[3].open), 1.2);
    EXPECT_DOUBLE_EQ(static_cast<double>(bars[7].open), 1.1);
    EXPECT_EQ(history->time_sign(), 1234);
    EXPECT_FALSE(history->is_modified());   // saved at once
    EXPECT_EQ(read("EURUSD60.hst").size(), 148u + 9 * 44u);

    const int64_t version = history->version();
    std::vector<BarRecord> all_bad = {bar(kMonday, 1, 1, 1, 1, 0)};
    EXPECT_EQ(history->import_bars(all_bad, 99), 0u);
    EXPECT_EQ(history->version(), version);
    EXPECT_EQ(history->time_sign(), 1234);
    EXPECT_EQ(history->bar_count(), 9u);
}

TEST_F(HistoryBaseTest, ImportStoresNothingTheNextLoadWouldCountAsAnError) {
    auto history = open();
    const double infinity = std::numeric_limits<double>::infinity();
    const std::vector<BarRecord> incoming = {bar(kMonday, 1.1, 1.0, 1.2, 1.1, 5), bar(kMonday, 1.3, 1.0, 1.4, 1.3, 6),
                                             bar(kMonday + kHour, 1.1, 1.0, 1.2, 1.1, infinity),
                                             bar(kMonday + 2 * kHour, 1.1, 1.0, 1.2, 1.1, 7)};
    EXPECT_EQ(history->import_bars(incoming, 0), 2u);
    EXPECT_EQ(times_of(history->bars()), (std::vector<int32_t>{kMonday, kMonday + 2 * kHour}));
    EXPECT_DOUBLE_EQ(static_cast<double>(history->bars()[0].open), 1.1);
    history->load();
    EXPECT_EQ(history->bar_count(), 2u);
    EXPECT_TRUE(journal.lines().empty());
}

TEST_F(HistoryBaseTest, WireBarsAreConvertedWithTheSymbolDigits) {
    // The file was written when the symbol had 3 digits; the server's points follow the
    // symbol as it is now.
    std::vector<uint8_t> file = hst_bytes("EURUSD", 60, {bar(kMonday - kHour, 1.1, 1.1, 1.1, 1.1)});
    HistoryFileHeader header;
    std::memcpy(&header, file.data(), sizeof header);
    header.digits = 3;
    std::memcpy(file.data(), &header, sizeof header);
    write("EURUSD60.hst", file);
    auto history = open();
    ASSERT_EQ(history->digits(), 3);
    const WireBar22 narrow[] = {{kMonday, 110000, 20, -10, 5, 12.0}};
    const WireBar28 wide[] = {{kMonday + kHour, 110000, 70000, -10, 5, 3.0}};
    EXPECT_EQ(history->import_bars(narrow, 0), 1u);
    EXPECT_EQ(history->import_bars(wide, 0), 1u);
    std::vector<BarRecord> bars = history->bars();
    ASSERT_EQ(bars.size(), 3u);
    EXPECT_DOUBLE_EQ(static_cast<double>(bars[1].open), 1.1);
    EXPECT_DOUBLE_EQ(static_cast<double>(bars[1].high), 1.1002);
    EXPECT_DOUBLE_EQ(static_cast<double>(bars[1].low), 1.0999);
    EXPECT_DOUBLE_EQ(static_cast<double>(bars[1].close), 1.10005);
    EXPECT_DOUBLE_EQ(static_cast<double>(bars[2].high), 1.8);
}

struct BarCase {
    int period;
    int alignment;
    int32_t first;
    int32_t second;
    int32_t first_open;
    int32_t second_open;
};

TEST_F(HistoryBaseTest, IntradayBarsFollowPeriodAndQuoteWindowAlignment) {
    const int32_t ten = kMonday + 10 * kHour;
    const BarCase cases[] = {
        {60, 0, ten + 3599, ten + 3600, ten, ten + kHour},
        {60, 30, ten + 3599, ten + 3600, ten - 1800 + kHour, ten - 1800 + kHour},
        {15, 0, ten + 899, ten + 900, ten, ten + 900},
        {1, 0, ten + 59, ten + 60, ten, ten + 60},
    };
    for (const BarCase& c : cases) {
        SymbolRecord symbol = all_day_symbol();
        const int index = c.period == 60 ? 4 : c.period == 15 ? 2 : 0;
        if (index > 0)
            for (DayQuoteHours& day : symbol.quote_hours) day.windows[0].alignment[index - 1] = static_cast<int16_t>(c.alignment);
        platform::remove_file(path("EURUSD" + std::to_string(c.period) + ".hst"));
        auto history = open(c.period, symbol, Offline::Yes);
        // Offline histories ignore ticks: use an online one for the bars.
        EXPECT_FALSE(history->add_tick(make_tick(1, c.first, 1.1f, 1.2f)));
        history = open(c.period, symbol);
        ASSERT_TRUE(history->add_tick(make_tick(1, c.first, 1.1f, 1.2f)));
        ASSERT_TRUE(history->add_tick(make_tick(1, c.second, 1.2f, 1.3f)));
        std::vector<BarRecord> bars = history->bars();
        std::vector<int32_t> expected = {c.first_open};
        if (c.second_open != c.first_open) expected.push_back(c.second_open);
        EXPECT_EQ(times_of(bars), expected) << c.period << " " << c.alignment;
        EXPECT_EQ(static_cast<double>(bars.back().volume), c.second_open == c.first_open ? 2.0 : 1.0);
        history.reset();
        platform::remove_file(path("EURUSD" + std::to_string(c.period) + ".hst"));
    }
}

TEST_F(HistoryBaseTest, DayWeekAndMonthBarsOpenAtTheirPeriodStart) {
    const int32_t wednesday_noon = kMonday + 2 * 86400 + 12 * kHour;   // 2026-12-09
    const std::pair<int, int32_t> cases[] = {
        {1440, kMonday + 2 * 86400}, {10080, kMonday - 86400}, {43200, 1796083200 /* 2026-12-01 */}};
    for (auto [period, open_time] : cases) {
        auto history = open(period);
        ASSERT_TRUE(history->add_tick(make_tick(1, wednesday_noon, 1.1f, 1.2f))) << period;
        EXPECT_EQ(history->last_bar_time(), open_time) << period;
    }
}

TEST_F(HistoryBaseTest, WeeklyBarOpensOnSundayMidnight) {
    const int32_t sunday = kMonday - 86400;
    const int32_t previous_sunday = sunday - 7 * 86400;
    // Ticks in time order with the open of the weekly bar each lands in: a Sunday
    // evening's ticks belong to the week that starts that Sunday, not the one before.
    const std::pair<int32_t, int32_t> ticks[] = {
        {sunday - 1, previous_sunday},             // Saturday 23:59:59
        {sunday, sunday},
        {sunday + 21 * kHour, sunday},             // Sunday evening
        {kMonday, sunday},
        {sunday + 7 * 86400 - 1, sunday},          // the next Saturday 23:59:59
        {sunday + 7 * 86400 + 22 * kHour, sunday + 7 * 86400},
    };
    auto weekly = open(10080);
    for (auto [time, bar_open] : ticks) {
        ASSERT_TRUE(weekly->add_tick(make_tick(1, time, 1.1f, 1.2f))) << time;
        EXPECT_EQ(weekly->last_bar_time(), bar_open) << time;
    }
    EXPECT_EQ(weekly->bar_count(), 3u);

    // The first days of 1970 (a Thursday) precede any Sunday.
    const std::pair<int64_t, int64_t> early[] = {{0, 0}, {3 * 86400 - 1, 0}, {3 * 86400, 3 * 86400},
                                                 {4 * 86400, 3 * 86400}, {10 * 86400 - 1, 3 * 86400}};
    for (auto [time, open_time] : early) EXPECT_EQ(week_open(time), open_time) << time;
}

TEST_F(HistoryBaseTest, TicksOutsideTheQuoteWindowsAreDroppedAndPastMidnightWindowsCarryOver) {
    SymbolRecord symbol = make_symbol("EURUSD", 1, 5);
    // Monday 22:00 to Tuesday 02:00, and Tuesday 08:00-17:00.
    symbol.quote_hours[1].windows[0].open_minute = 22 * 60;
    symbol.quote_hours[1].windows[0].close_minute = 2 * 60;
    symbol.quote_hours[1].first_overnight_window = 0;
    symbol.quote_hours[2].windows[0].open_minute = 8 * 60;
    symbol.quote_hours[2].windows[0].close_minute = 17 * 60;
    symbol.quote_hours[2].first_overnight_window = 3;
    auto daily = open(1440, symbol);
    const int32_t tuesday = kMonday + 86400;
    EXPECT_FALSE(daily->add_tick(make_tick(1, kMonday + 12 * kHour, 1.1f, 1.2f)));
    EXPECT_TRUE(daily->add_tick(make_tick(1, kMonday + 23 * kHour, 1.1f, 1.2f)));
    EXPECT_TRUE(daily->add_tick(make_tick(1, tuesday + kHour, 1.1f, 1.2f)));
    EXPECT_FALSE(daily->add_tick(make_tick(1, tuesday + 3 * kHour, 1.1f, 1.2f)));
    EXPECT_TRUE(daily->add_tick(make_tick(1, tuesday + 9 * kHour, 1.1f, 1.2f)));
    // The overnight ticks belong to Monday's trading day, the morning to Tuesday's.
    EXPECT_EQ(times_of(daily->bars()), (std::vector<int32_t>{kMonday, tuesday}));
    EXPECT_EQ(static_cast<double>(daily->bars().front().volume), 2.0);
}

TEST_F(HistoryBaseTest, SaveRewritesFromTheFirstChangedBarAndKeepsOlderFileBars) {
    write("EURUSD60.hst", hst_bytes("EURUSD", 60, hourly_bars(kMonday, 20)));
    memory = 5;
    auto history = open();
    ASSERT_EQ(history->bar_count(), 5u);
    ASSERT_TRUE(history->add_tick(make_tick(1, kMonday + 20 * kHour, 1.3f, 1.31f)));
    ASSERT_TRUE(history->save());
    std::vector<uint8_t> bytes = read("EURUSD60.hst");
    ASSERT_EQ(bytes.size(), 148u + 21 * 44u);
    std::vector<BarRecord> stored((bytes.size() - 148) / 44);
    std::memcpy(stored.data(), bytes.data() + 148, stored.size() * 44);
    EXPECT_EQ(int32_t{stored[0].time}, kMonday);
    EXPECT_EQ(int32_t{stored[20].time}, kMonday + 20 * kHour);
    EXPECT_DOUBLE_EQ(static_cast<double>(stored[20].open), 1.3);
}

TEST_F(HistoryBaseTest, AnImportSavedOnAFillingDiskLeavesTheOldBarsOrTheNewNeverAMix) {
    const std::vector<BarRecord> old_bars = hourly_bars(kMonday, 20);
    const BarRecord inserted = bar(kMonday + 5 * kHour + 1800, 1.2, 1.19, 1.21, 1.2);
    std::vector<BarRecord> new_bars = old_bars;
    new_bars.insert(new_bars.begin() + 6, inserted);
    const size_t new_size = 148 + new_bars.size() * 44;
    // The disk fills up after every possible number of bytes of the save.
    for (size_t room = 0; room <= new_size; room += 17) {
        write("EURUSD60.hst", hst_bytes("EURUSD", 60, old_bars));
        auto history = open(60, all_day_symbol(), Offline::Yes);
        ASSERT_EQ(history->bar_count(), 20u);
        platform::fail_writes_after(folder.path(), room);
        EXPECT_EQ(history->import_bars(std::span(&inserted, 1), 0), 1u);
        platform::clear_file_faults();

        const std::vector<BarRecord> loaded = open(60, all_day_symbol(), Offline::Yes)->bars();
        EXPECT_TRUE(same_bars(loaded, old_bars) || same_bars(loaded, new_bars))
            << "disk full after " << room << " bytes: " << loaded.size() << " bars";
    }
    EXPECT_TRUE(same_bars(open(60, all_day_symbol(), Offline::Yes)->bars(), old_bars));
    platform::fail_writes_after(folder.path(), new_size);
    EXPECT_EQ(open(60, all_day_symbol(), Offline::Yes)->import_bars(std::span(&inserted, 1), 0), 1u);
    platform::clear_file_faults();
    EXPECT_TRUE(same_bars(bars_in(read("EURUSD60.hst")), new_bars));
}

TEST_F(HistoryBaseTest, NewBarsAreAppendedInPlaceAndACutAppendKeepsEveryOldBar) {
    const std::vector<BarRecord> old_bars = hourly_bars(kMonday, 20);
    for (size_t room : {size_t{0}, size_t{148 + 30}, size_t{148 + 44 + 20}, size_t{1000}}) {
        write("EURUSD60.hst", hst_bytes("EURUSD", 60, old_bars));
        struct stat before{};
        ASSERT_EQ(::stat(path("EURUSD60.hst").c_str(), &before), 0);
        auto history = open();
        ASSERT_TRUE(history->add_tick(make_tick(1, kMonday + 20 * kHour, 1.3f, 1.31f)));
        ASSERT_TRUE(history->add_tick(make_tick(1, kMonday + 21 * kHour, 1.4f, 1.41f)));
        platform::fail_writes_after(folder.path(), room);
        history->save();
        platform::clear_file_faults();

        std::vector<BarRecord> stored = bars_in(read("EURUSD60.hst"));
        ASSERT_GE(stored.size(), 20u) << room;
        EXPECT_TRUE(same_bars({stored.begin(), stored.begin() + 20}, old_bars)) << room;
        struct stat after{};
        ASSERT_EQ(::stat(path("EURUSD60.hst").c_str(), &after), 0);
        // A tick save writes the new bars only, not the whole file again.
        EXPECT_EQ(after.st_ino, before.st_ino) << room;
    }
}

TEST_F(HistoryBaseTest, AFailedSaveIsJournaledOnceAndKeepsTheFile) {
    const std::vector<uint8_t> old_file = hst_bytes("EURUSD", 60, hourly_bars(kMonday, 3));
    write("EURUSD60.hst", old_file);
    auto history = open();
    const BarRecord downloaded[] = {bar(kMonday + 1800, 1.2, 1.19, 1.21, 1.2)};
    platform::fail_writes_after(folder.path(), 0);
    EXPECT_EQ(history->import_bars(downloaded, 0), 1u);
    EXPECT_FALSE(history->save());
    EXPECT_TRUE(history->is_modified());
    EXPECT_EQ(journal.lines(), (std::vector<std::string>{"HistoryBase: error writing 'EURUSD60'"}));
    EXPECT_EQ(read("EURUSD60.hst"), old_file);
    EXPECT_EQ(platform::list_folder(folder.file("history/Demo")).size(), 1u) << "no temporary file is left";

    platform::clear_file_faults();
    EXPECT_TRUE(history->save());
    EXPECT_EQ(bars_in(read("EURUSD60.hst")).size(), 4u);
    platform::fail_writes_after(folder.path(), 0);
    ASSERT_TRUE(history->add_tick(make_tick(1, kMonday + 3 * kHour, 1.1f, 1.2f)));
    EXPECT_FALSE(history->save());
    EXPECT_EQ(journal.lines().size(), 2u) << "a new failure after a save that worked is journaled again";
}

TEST_F(HistoryBaseTest, LargeFileIsTrimmedToTheNewestBars) {
    in_file = 10;
    write("EURUSD60.hst", hst_bytes("EURUSD", 60, hourly_bars(kMonday, 25)));
    ASSERT_EQ(::chmod(path("EURUSD60.hst").c_str(), 0640), 0);
    auto history = open();
    struct stat info{};
    ASSERT_EQ(::stat(path("EURUSD60.hst").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u) << "the trimmed file keeps its mode";
    std::vector<uint8_t> bytes = read("EURUSD60.hst");
    ASSERT_EQ(bytes.size(), 148u + 10 * 44u);
    int32_t first_time = 0;
    std::memcpy(&first_time, bytes.data() + 148, 4);
    EXPECT_EQ(first_time, kMonday + 15 * kHour);
    EXPECT_EQ(history->bar_count(), 25u);   // memory keeps what was read

    write("EURUSD60.hst", hst_bytes("EURUSD", 60, hourly_bars(kMonday, 19)));
    history = open();
    EXPECT_EQ(read("EURUSD60.hst").size(), 148u + 19 * 44u);   // below twice the maximum
}

TEST_F(HistoryBaseTest, FallsBackToTheDefaultFolderAndSavesToItsOwn) {
    write("EURUSD60.hst", hst_bytes("EURUSD", 60, hourly_bars(kMonday, 3)), "default");
    auto history = open();
    EXPECT_EQ(history->bar_count(), 3u);
    EXPECT_EQ(history->time_sign(), 77);
    ASSERT_TRUE(history->add_tick(make_tick(1, kMonday + 3 * kHour, 1.1f, 1.2f)));
    history.reset();
    EXPECT_EQ(read("EURUSD60.hst").size(), 148u + 4 * 44u);
}

TEST_F(HistoryBaseTest, ChartCopiesFollowTheVersionAndHiddenBars) {
    write("EURUSD60.hst", hst_bytes("EURUSD", 60, hourly_bars(kMonday, 8)));
    memory = 3;
    auto history = open();
    ChartBuffer chart;
    EXPECT_TRUE(history->copy_to_chart(chart));
    EXPECT_EQ(chart.bars.size(), 3u);
    EXPECT_FALSE(history->copy_to_chart(chart));

    history->load_all();
    EXPECT_EQ(history->bar_count(), 8u);
    EXPECT_EQ(history->hidden_bars(), 5u);
    EXPECT_TRUE(history->copy_to_chart(chart));
    EXPECT_EQ(times_of(chart.bars), (std::vector<int32_t>{kMonday + 5 * kHour, kMonday + 6 * kHour, kMonday + 7 * kHour}));
    ASSERT_TRUE(history->add_tick(make_tick(1, kMonday + 7 * kHour + 5, 1.1f, 1.2f)));
    EXPECT_TRUE(history->copy_to_chart(chart));
}

TEST_F(HistoryBaseTest, DamagedFilesLoadWhatIsSound) {
    const std::vector<uint8_t> good = hst_bytes("EURUSD", 60, hourly_bars(kMonday, 4));
    std::vector<uint8_t> garbage_bars = good;
    for (size_t i = 148; i < garbage_bars.size(); ++i) garbage_bars[i] = 0xFF;   // NaN prices
    const std::pair<std::vector<uint8_t>, size_t> cases[] = {
        {std::vector<uint8_t>(good.begin(), good.begin() + 148), 0},        // header only
        {std::vector<uint8_t>(good.begin(), good.end() - 1), 3},            // last bar cut short
        {std::vector<uint8_t>(good.begin(), good.begin() + 148 + 43), 0},   // no whole bar
        {garbage_bars, 0},
    };
    for (const auto& [bytes, bars] : cases) {
        write("EURUSD60.hst", bytes);
        auto history = open();
        EXPECT_EQ(history->bar_count(), bars) << bytes.size();
        EXPECT_TRUE(history->add_tick(make_tick(1, kMonday + 10 * kHour, 1.1f, 1.2f))) << bytes.size();
    }
}

TEST_F(HistoryBaseTest, ServerChangeSavesAndLoadsTheOtherFolder) {
    write("EURUSD60.hst", hst_bytes("EURUSD", 60, hourly_bars(kMonday, 2)), "Live");
    auto history = open();
    ASSERT_TRUE(history->add_tick(make_tick(1, kMonday, 1.1f, 1.2f)));
    const int64_t version = history->version();
    history->set_server("Live");
    EXPECT_EQ(history->bar_count(), 2u);
    EXPECT_GT(history->version(), version);
    EXPECT_EQ(read("EURUSD60.hst").size(), 148u + 44u);   // the Demo bar was saved first
    EXPECT_EQ(history->file_path(), path("EURUSD60.hst", "Live"));
}

TEST(OtherHistoryFile, NewestRecordsOfVersion402AreRead) {
    ::kb::testing::TempFolder folder;
    std::vector<uint8_t> bytes(600 + 300 * 52);
    const int32_t version = 402;
    std::memcpy(bytes.data(), &version, 4);
    for (int i = 0; i < 300; ++i) {
        OtherHistoryRecord record{};
        record.bar = bar(1000 + i, 1, 1, 1, 1);
        std::memcpy(bytes.data() + 600 + i * 52, &record, sizeof record);
    }
    ASSERT_TRUE(platform::write_file_atomic(folder.file("other.hst"), bytes));
    std::vector<BarRecord> bars = read_other_history(folder.file("other.hst"), 200);
    ASSERT_EQ(bars.size(), 200u);
    EXPECT_EQ(int32_t{bars.front().time}, 1100);
    EXPECT_EQ(int32_t{bars.back().time}, 1299);

    bytes[0] = 0x91;   // 401
    ASSERT_TRUE(platform::write_file_atomic(folder.file("other.hst"), bytes));
    EXPECT_TRUE(read_other_history(folder.file("other.hst"), 200).empty());
    EXPECT_TRUE(read_other_history(folder.file("missing.hst"), 200).empty());
}

}  // namespace
}  // namespace kb::market
