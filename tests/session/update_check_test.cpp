#include <gtest/gtest.h>

#include <string>

#include "config/server_list.h"
#include "core/crash_log.h"
#include "core/journal.h"
#include "platform/files.h"
#include "session/crash_log_upload.h"
#include "session/update_check.h"
#include "session_fixture.h"
#include "tests/net/loopback.h"

namespace kb::session::test {
namespace {

using net::testing::LoopbackStreams;

std::string text_of(const std::optional<std::vector<uint8_t>>& bytes) {
    return bytes ? std::string(bytes->begin(), bytes->end()) : std::string("<missing>");
}

class UpdateCheckTest : public ::testing::Test {
protected:
    UpdateCheckTest()
        : journal_(folder_.path(), clock_), servers_(folder_.path(), clock_, platform::system_random(), nullptr) {
        platform::make_directory(folder_.file("profiles"));
        journal_.set_echo([this](std::string_view line) { lines_.emplace_back(line); });
        const net::ConnectionKey key = net::connection_key("pw");
        streams_.client.set_key(key);
        streams_.server.set_key(key);
    }

    void install_updater() { ASSERT_TRUE(platform::write_file_atomic(folder_.file("refreshkit"), Bytes{1})); }
    void reply(const Bytes& bytes) {
        Bytes copy = bytes;
        ASSERT_TRUE(streams_.server.send_packet(copy.data(), copy.size()));
    }
    net::ReturnCode check() { return check_for_update(streams_.client, check_, servers_, journal_, starter_); }

    kb::testing::TempFolder folder_;
    platform::ManualClock clock_;
    core::Journal journal_;
    config::ServerList servers_;
    kb::testing::RecordingProcessStarter starter_;
    LoopbackStreams streams_{platform::system_clock()};
    std::vector<std::string> lines_;
    UpdateCheck check_{folder_.path(), "Acme Ltd", 1234, "Acme-Live"};
};

TEST_F(UpdateCheckTest, NewerBuildIsJournaledHandedOffAndTheUpdaterStarted) {
    install_updater();
    reply(Bytes{0} + le32(401) + le32(450));
    EXPECT_EQ(check(), net::ReturnCode::Ok);

    // The query as the server reads it.
    const Bytes query = Bytes{15, 4} + le32(400) + le32(445) + Bytes{8} + Bytes{'A', 'c', 'm', 'e', ' ', 'L', 't', 'd'};
    Bytes received(query.size());
    ASSERT_TRUE(streams_.server.read(received.data(), received.size()));
    EXPECT_EQ(received, query);

    ASSERT_EQ(lines_.size(), 1u);
    EXPECT_NE(lines_[0].find("Refreshkit: new version 4.01 build 450 is available"), std::string::npos) << lines_[0];
    // "Acme-Live" is not in the server list: the name itself is the server.
    EXPECT_EQ(text_of(platform::read_file(folder_.file("profiles/refreshkit.ini"))),
              "owner=Acme Ltd\nprogram=Kestrelbay 4\nmainfile=terminal\nserver=Acme-Live\nlogin=1234\ntype=4\n"
              "version=400\nbuild=445\ndetected_version=401\ndetected_build=450\n");
    ASSERT_EQ(starter_.started().size(), 1u);
    EXPECT_EQ(starter_.started()[0], std::vector<std::string>{folder_.file("refreshkit")});
}

TEST_F(UpdateCheckTest, CurrentBuildOrAFailedQueryWritesAndStartsNothing) {
    install_updater();
    for (net::ReturnCode code : {net::ReturnCode::OkNoResult, net::ReturnCode::CommonError, net::ReturnCode::DisabledOrFailed}) {
        reply(Bytes{net::code_byte(code)});
        EXPECT_EQ(check(), code);
    }
    EXPECT_TRUE(lines_.empty());
    EXPECT_FALSE(platform::file_exists(folder_.file("profiles/refreshkit.ini")));
    EXPECT_TRUE(starter_.started().empty());
    EXPECT_TRUE(streams_.client.is_open());
}

TEST_F(UpdateCheckTest, WithoutTheUpdaterNothingIsSent) {
    EXPECT_EQ(check(), net::ReturnCode::Ok);
    EXPECT_EQ(streams_.server.bytes_available(), 0u);
    EXPECT_TRUE(starter_.started().empty());
}

TEST_F(UpdateCheckTest, TruncatedReplyFailsWithTheConnectionClosed) {
    install_updater();
    reply(Bytes{0} + le32(401));
    streams_.server.close();
    EXPECT_EQ(check(), net::ReturnCode::NoConnection);
    EXPECT_FALSE(streams_.client.is_open());
    EXPECT_TRUE(starter_.started().empty());
}

TEST_F(UpdateCheckTest, UpdaterServerFollowsTheServerList) {
    ASSERT_TRUE(servers_.update_server("Known", "Acme Ltd", config::kServerTypeSelectable,
                                       std::vector{access_point("10.0.0.1:443"), access_point("10.0.0.2:443")}));
    EXPECT_EQ(updater_server(servers_, "Unknown", streams_.client), "Unknown");
    EXPECT_EQ(updater_server(servers_, "Known", streams_.client), streams_.client.server_text());
    servers_.select_access_point("Known", "10.0.0.2:443");
    EXPECT_EQ(updater_server(servers_, "Known", streams_.client), "10.0.0.2:443");
}

class CrashLogUploadTest : public UpdateCheckTest {
protected:
    CrashLogUploadTest() : log_(folder_.path()) { platform::make_directory(folder_.file("logs")); }
    core::CrashLog log_;
};

TEST_F(CrashLogUploadTest, SentAsOnePacketAndDeleted) {
    const Bytes content = {'c', 'r', 'a', 's', 'h', '\n'};
    ASSERT_TRUE(platform::write_file_atomic(log_.path(), content));
    EXPECT_EQ(upload_crash_log(streams_.client, log_), net::ReturnCode::Ok);
    const Bytes packet = Bytes{5} + le32(static_cast<uint32_t>(content.size())) + content;
    Bytes received(packet.size());
    ASSERT_TRUE(streams_.server.read(received.data(), received.size()));
    EXPECT_EQ(received, packet);
    EXPECT_FALSE(platform::file_exists(log_.path()));
}

TEST_F(CrashLogUploadTest, KeptWhenSendingFails) {
    ASSERT_TRUE(platform::write_file_atomic(log_.path(), Bytes{'x'}));
    streams_.client.close();
    EXPECT_EQ(upload_crash_log(streams_.client, log_), net::ReturnCode::CommonError);
    EXPECT_TRUE(platform::file_exists(log_.path()));
}

TEST_F(CrashLogUploadTest, NothingToSendSucceedsWithoutSending) {
    EXPECT_EQ(upload_crash_log(streams_.client, log_), net::ReturnCode::Ok);
    ASSERT_TRUE(platform::write_file_atomic(log_.path(), Bytes{}));
    EXPECT_EQ(upload_crash_log(streams_.client, log_), net::ReturnCode::Ok);
    EXPECT_FALSE(platform::file_exists(log_.path()));
    EXPECT_EQ(streams_.server.bytes_available(), 0u);
}

}  // namespace
}  // namespace kb::session::test
