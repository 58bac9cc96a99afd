#include <gtest/gtest.h>

#include "config/server_list.h"
#include "config/server_probe.h"
#include "tests/config/config_test_support.h"
#include "tests/support/fake_server.h"
#include "tests/support/temp_folder.h"

namespace kb::config {
namespace {

using test::access_point;
using testing::Bytes;
using testing::FakeServer;

Bytes text(std::string_view s) { return Bytes(s.begin(), s.end()); }

class ServerProbeTest : public ::testing::Test {
protected:
    ServerProbeTest() { platform::make_directory(folder.file("config")); }

    void add_server(const std::vector<std::string>& addresses) {
        std::vector<AccessPointRecord> points;
        for (const std::string& address : addresses) points.push_back(access_point(address));
        list.update_server("S", "Co", 1, points);
        clock.advance_ms(kProbeIntervalMs);
    }
    const AccessPointRecord& point(const ServerEntry& entry, const std::string& address) {
        return *const_cast<ServerEntry&>(entry).find_access_point(address);
    }
    void finish_probe() {
        probe.wait();
        entry = *list.copy_at(0);
    }

    testing::TempFolder folder;
    platform::ManualClock clock;
    ServerList list{folder.path(), clock, platform::system_random(), nullptr};
    // The replies are timed on the test's clock; the connection pauses in real time.
    ServerProbe probe{list, clock, platform::system_clock()};
    ServerEntry entry;
};

TEST_F(ServerProbeTest, ReplyMarkDecidesReachable) {
    FakeServer good, foreign, cut_short;
    good.expect_raw(text("ZINFO\n")).send_raw(text("Kestrelbay 4 Server\r\n")).expect_raw(text("QUIT\n"));
    foreign.expect_raw(text("ZINFO\n")).send_raw(text("Kestrelba\n")).expect_raw(text("QUIT\n"));
    cut_short.expect_raw(text("ZINFO\n")).close();
    for (FakeServer* server : {&good, &foreign, &cut_short}) server->start();
    add_server({good.address(), foreign.address(), cut_short.address()});
    list.select_access_point("S", good.address());
    clock.advance_ms(kProbeIntervalMs);

    ASSERT_TRUE(probe.start("S"));
    for (FakeServer* server : {&good, &foreign, &cut_short}) server->finish();
    finish_probe();

    EXPECT_TRUE(good.all_matched()) << good.report();
    EXPECT_TRUE(foreign.all_matched()) << foreign.report();
    EXPECT_EQ(point(entry, good.address()).probe_state, kProbeReachable);
    EXPECT_LT(point(entry, good.address()).time_ms, kFailedMs);
    EXPECT_EQ(point(entry, foreign.address()).probe_state, kProbeUnreachable);
    EXPECT_EQ(point(entry, foreign.address()).time_ms, kFailedMs);
    EXPECT_EQ(point(entry, cut_short.address()).probe_state, kProbeUnreachable);
    EXPECT_EQ(entry.selected_address(), "") << "the next connect follows the measured order";
    EXPECT_EQ(entry.record.selection_tick, clock.tick_ms());
}

TEST_F(ServerProbeTest, UnreachableAddressIsMeasuredAsFailed) {
    FakeServer good;
    good.expect_raw(text("ZINFO\n")).send_raw(text("Kestrelbay\n")).expect_raw(text("QUIT\n"));
    good.start();
    platform::Socket refusing;
    refusing.listen("127.0.0.1", 0);
    const std::string refused = "127.0.0.1:" + std::to_string(refusing.local_port());
    refusing.close();
    add_server({refused, good.address(), "127.0.0.1:0"});

    ASSERT_TRUE(probe.start("S"));
    good.finish();
    finish_probe();
    EXPECT_EQ(point(entry, refused).time_ms, kFailedMs);
    EXPECT_EQ(point(entry, "127.0.0.1:0").probe_state, kProbeUnreachable);
    EXPECT_EQ(point(entry, good.address()).probe_state, kProbeReachable);
}

TEST_F(ServerProbeTest, StartsOnlyForSeveralAccessPointsAfterAnHour) {
    EXPECT_FALSE(probe.start("Unknown"));
    list.update_server("One", "Co", 1, std::vector{access_point("127.0.0.1:1")});
    list.update_server("S", "Co", 1, std::vector{access_point("127.0.0.1:0"), access_point("127.0.0.1:0x")});
    list.select_access_point("S", "127.0.0.1:0");
    clock.advance_ms(kProbeIntervalMs - 1);
    EXPECT_FALSE(probe.start("S")) << "selected or probed less than an hour ago";
    clock.advance_ms(1);
    EXPECT_FALSE(probe.start("One"));
    EXPECT_TRUE(probe.start("S"));
    probe.stop();
    EXPECT_FALSE(probe.start("S")) << "the probe itself stamps the tick";
}

class ProbeWatchdogTest : public ServerProbeTest {
protected:
    // The server stalls after the request until released; then it answers.
    void run_with_watchdog_after(uint32_t elapsed_ms) {
        server.expect_raw(text("ZINFO\n")).stall(5000).send_raw(text("Kestrelbay\n")).expect_raw(text("QUIT\n"));
        server.start();
        add_server({server.address(), "127.0.0.1:0"});
        ASSERT_TRUE(probe.start("S"));
        ASSERT_TRUE(server.wait_for_steps(1));
        clock.advance_ms(elapsed_ms);
        probe.probe_watchdog();
        server.release();
        server.finish();
        finish_probe();
    }
    FakeServer server;
};

TEST_F(ProbeWatchdogTest, EndsAStepOlderThanTenSecondsAsFailure) {
    run_with_watchdog_after(kProbeStepTimeoutMs + 1);
    EXPECT_EQ(point(entry, server.address()).probe_state, kProbeUnreachable);
}

TEST_F(ProbeWatchdogTest, LeavesAYoungerStepRunning) {
    run_with_watchdog_after(kProbeStepTimeoutMs);
    EXPECT_EQ(point(entry, server.address()).probe_state, kProbeReachable);
    EXPECT_TRUE(server.all_matched()) << server.report();
}

}  // namespace
}  // namespace kb::config
