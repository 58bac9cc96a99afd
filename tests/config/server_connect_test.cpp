#include <gtest/gtest.h>

#include "config/server_connect.h"
#include "config/server_list.h"
#include "net/packet_stream.h"
#include "tests/config/config_test_support.h"
#include "tests/support/temp_folder.h"

namespace kb::config {
namespace {

using test::access_point;

// A loopback port that accepts connections, and one that refuses them.
struct Listener {
    Listener() { socket.listen("127.0.0.1", 0); }
    std::string address() const { return "127.0.0.1:" + std::to_string(socket.local_port()); }
    bool connection_came() { return socket.accept(50).is_open(); }
    platform::Socket socket;
};

std::string refusing_address() {
    Listener closed;
    std::string address = closed.address();
    closed.socket.close();
    return address;
}

class ServerConnectTest : public ::testing::Test {
protected:
    ServerConnectTest() { platform::make_directory(folder.file("config")); }

    int32_t time_of(const std::string& address) {
        std::optional<ServerEntry> entry = list.copy_at(0);
        return entry->find_access_point(address)->time_ms;
    }

    testing::TempFolder folder;
    platform::ManualClock clock;
    ServerList list{folder.path(), clock, platform::system_random(), nullptr};
    net::PacketStream stream{nullptr, clock};
};

TEST(SplitAddress, HostAndPortRules) {
    const struct {
        const char* text;
        bool valid;
        const char* host;
        uint16_t port;
    } cases[] = {
        {"host", true, "host", 443},      {"host:1", true, "host", 1},   {"host:65535", true, "host", 65535},
        {"h:8:9", false, "", 0},          {"host:0", false, "", 0},      {"host:70000", false, "", 0},
        {"host:", false, "", 0},          {"host:-1", false, "", 0},     {"host:12a", false, "", 0},
        {":443", false, "", 0},           {"", false, "", 0},
    };
    for (const auto& c : cases) {
        std::optional<HostAndPort> parts = split_address(c.text);
        ASSERT_EQ(parts.has_value(), c.valid) << c.text;
        if (!parts) continue;
        EXPECT_EQ(parts->host, c.host);
        EXPECT_EQ(parts->port, c.port);
    }
}

TEST_F(ServerConnectTest, PortOutOfRangeFailsWithoutConnecting) {
    Listener listener;
    const uint32_t wrapped = listener.socket.local_port() + 65536u;   // would land on the listener if cut to 16 bits
    const std::string bad_port = "127.0.0.1:" + std::to_string(wrapped);
    list.update_server("S", "Co", 1, std::vector{access_point(bad_port)});

    for (const std::string& target : {std::string("127.0.0.1:0"), std::string("127.0.0.1:70000"), bad_port,
                                      std::string("S")}) {
        EXPECT_FALSE(connect_through_list(stream, target, list).connected) << target;
        EXPECT_FALSE(stream.is_open());
    }
    EXPECT_FALSE(listener.connection_came());
}

TEST_F(ServerConnectTest, UnknownNameIsConnectedDirectly) {
    Listener listener;
    ListConnection connection = connect_through_list(stream, listener.address(), list);
    EXPECT_TRUE(connection.connected);
    EXPECT_EQ(connection.access_point, listener.address());
    EXPECT_TRUE(stream.is_open());
    EXPECT_TRUE(listener.connection_came());
}

TEST_F(ServerConnectTest, RememberedAccessPointIsTriedFirst) {
    Listener first_in_order, remembered;
    list.update_server("S", "Co", 1, std::vector{access_point(first_in_order.address(), 0), access_point(remembered.address(), 9)});
    list.select_access_point("S", remembered.address());

    ListConnection connection = connect_through_list(stream, "S", list);
    EXPECT_TRUE(connection.connected);
    EXPECT_EQ(connection.access_point, remembered.address());
    EXPECT_TRUE(remembered.connection_came());
    EXPECT_FALSE(first_in_order.connection_came());
    EXPECT_LT(time_of(remembered.address()), kConnectFailureMs);
    EXPECT_EQ(list.copy_at(0)->find_access_point(remembered.address())->probe_state, kProbeReachable);
}

TEST_F(ServerConnectTest, FailingRememberedAccessPointFallsBackToMeasuredOrder) {
    Listener good;
    const std::string remembered = refusing_address();
    const std::string refusing = refusing_address();
    list.update_server("S", "Co", 1,
                       std::vector{access_point(remembered, 0), access_point(good.address(), 2), access_point(refusing, 1)});
    list.select_access_point("S", remembered);

    ListConnection connection = connect_through_list(stream, "S", list);
    EXPECT_TRUE(connection.connected);
    EXPECT_EQ(connection.access_point, good.address());
    EXPECT_TRUE(good.connection_came());
    EXPECT_EQ(list.copy_at(0)->selected_address(), good.address());
    EXPECT_EQ(time_of(remembered), kConnectFailureMs);
    EXPECT_EQ(time_of(refusing), kConnectFailureMs) << "tried before the good one (lower priority value)";
    EXPECT_LT(time_of(good.address()), kConnectFailureMs);
}

TEST_F(ServerConnectTest, AccessPointsMarkedFailedAreSkipped) {
    Listener marked, other;
    list.update_server("S", "Co", 1, std::vector{access_point(marked.address(), 0), access_point(other.address(), 5)});
    list.select_access_point("S", marked.address());
    list.mark_selected_failed("S");

    EXPECT_EQ(connect_through_list(stream, "S", list).access_point, other.address());
    EXPECT_FALSE(marked.connection_came());
    EXPECT_TRUE(other.connection_came());
}

TEST_F(ServerConnectTest, WhenAllFailTheFailureMarksAreReset) {
    const std::string marked = refusing_address();
    const std::string refusing = refusing_address();
    list.update_server("S", "Co", 1, std::vector{access_point(marked), access_point(refusing)});
    list.select_access_point("S", marked);
    list.mark_selected_failed("S");

    EXPECT_FALSE(connect_through_list(stream, "S", list).connected);
    EXPECT_FALSE(stream.is_open());
    EXPECT_EQ(time_of(marked), kNeverMeasuredMs);
    EXPECT_EQ(time_of(refusing), kConnectFailureMs);
}

}  // namespace
}  // namespace kb::config
