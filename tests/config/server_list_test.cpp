#include <gtest/gtest.h>

#include <cstring>

#include "config/server_list.h"
#include "core/settings_store.h"
#include "net/scramble.h"
#include "tests/config/config_test_support.h"
#include "tests/support/temp_folder.h"

namespace kb::config {
namespace {

using test::access_point;

class ServerListTest : public ::testing::Test {
protected:
    ServerListTest() { platform::make_directory(folder.file("config")); }

    std::vector<uint8_t> srv_image(const char* name, const char* company, int32_t count, size_t points_written) {
        ServerEntry entry;
        core::set_field_text(entry.record.name, name);
        core::set_field_text(entry.record.company, company);
        entry.record.type = 1;
        for (size_t i = 0; i < points_written; ++i) entry.access_points.push_back(access_point("10.0.0." + std::to_string(i + 1)));
        std::vector<uint8_t> image = serialize_server_file(entry, random);
        std::memcpy(image.data() + offsetof(ServerRecord, access_point_count), &count, sizeof count);
        return image;
    }

    testing::TempFolder folder;
    platform::ManualClock clock;
    platform::SeededRandom random{1};
    core::SettingsStore settings{folder.file("settings")};
    ServerList list{folder.path(), clock, random, &settings};
};

TEST_F(ServerListTest, InvalidHeadersAreDeletedAndShortArraysSkipped) {
    const struct {
        const char* file;
        std::vector<uint8_t> bytes;
        bool kept_on_disk;
    } cases[] = {
        {"Zero.srv", srv_image("Zero", "Co", 0, 1), false},
        {"Many.srv", srv_image("Many", "Co", 65, 1), false},
        {"Negative.srv", srv_image("Negative", "Co", -1, 1), false},
        {"NoName.srv", srv_image("", "Co", 1, 1), false},
        {"NoCompany.srv", srv_image("NoCompany", "", 1, 1), false},
        {"Stub.srv", std::vector<uint8_t>(100, 0x41), false},
        {"Short.srv", srv_image("Short", "Co", 3, 2), true},
    };
    for (const auto& c : cases) ASSERT_TRUE(test::write_bytes(folder.file("config/") + c.file, c.bytes));
    ASSERT_TRUE(test::write_bytes(folder.file("config/Good.srv"), srv_image("Good", "Co", 2, 2)));

    list.load_all("Broker");
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list.copy_at(0)->name(), "Good");
    for (const auto& c : cases) EXPECT_EQ(platform::file_exists(folder.file("config/") + c.file), c.kept_on_disk) << c.file;
}

TEST_F(ServerListTest, FoldersAndSecondClaimsOnANameAreIgnored) {
    platform::make_directory(folder.file("config/Folder.srv"));
    ASSERT_TRUE(test::write_bytes(folder.file("config/a.srv"), srv_image("Same", "First", 1, 1)));
    ASSERT_TRUE(test::write_bytes(folder.file("config/b.srv"), srv_image("Same", "Second", 1, 1)));
    list.load_all("Broker");
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(core::field_text(list.copy_at(0)->record.company), "First");
    EXPECT_TRUE(platform::directory_exists(folder.file("config/Folder.srv")));
}

TEST_F(ServerListTest, FileLayoutIsPlainHeaderThenOneScrambledChain) {
    ASSERT_TRUE(list.update_server("Broker-Live", "Broker Ltd", 1,
                                   std::vector{access_point("a.example:443", 1, "A"), access_point("b.example", 2, "B")}));
    std::vector<uint8_t> bytes = test::file_bytes(list.server_file("Broker-Live"));
    ASSERT_EQ(bytes.size(), 352u + 2 * 160u);
    ServerRecord header;
    std::memcpy(&header, bytes.data(), sizeof header);
    EXPECT_EQ(core::field_text(header.name), "Broker-Live");
    EXPECT_EQ(core::field_text(header.company), "Broker Ltd");
    EXPECT_EQ(header.access_point_count, 2);
    EXPECT_EQ(header.best_time_ms, kNeverMeasuredMs);

    std::span<uint8_t> array = std::span(bytes).subspan(352);
    net::file_unscramble(array);
    AccessPointRecord second;
    std::memcpy(&second, array.data() + 160, sizeof second);
    EXPECT_EQ(core::field_text(second.address), "b.example");
    EXPECT_EQ(core::field_text(second.description), "B");
    EXPECT_EQ(second.priority, 2);
    EXPECT_EQ(second.time_ms, kNeverMeasuredMs);
    EXPECT_EQ(second.address[63], '\0');
}

TEST_F(ServerListTest, FillerAfterTextsDiffersBetweenSaves) {
    list.update_server("S", "Co", 1, std::vector{access_point("h")});
    std::vector<uint8_t> first = test::file_bytes(list.server_file("S"));
    list.update_server("S", "Co", 1, std::vector{access_point("h")});
    std::vector<uint8_t> second = test::file_bytes(list.server_file("S"));
    EXPECT_NE(first, second);
}

TEST_F(ServerListTest, SaveAndLoadRoundTrip) {
    list.update_server("Broker-Live", "Broker Ltd", 1, std::vector{access_point("a.example"), access_point("b.example")});
    list.select_access_point("Broker-Live", "b.example");
    list.record_connect_time("Broker-Live", "b.example", 120);
    list.record_connect_time("Broker-Live", "a.example", kFailedMs + 1);
    list.save();

    ServerList reloaded(folder.path(), clock, random, nullptr);
    reloaded.load_all("Broker");
    std::optional<ServerEntry> entry = reloaded.copy_at(0);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->selected_address(), "b.example");
    EXPECT_EQ(entry->record.best_time_ms, 120);
    ASSERT_EQ(entry->access_points.size(), 2u);
    EXPECT_EQ(entry->access_points[1].time_ms, 120);
    EXPECT_EQ(entry->access_points[1].probe_state, kProbeReachable);
    EXPECT_EQ(entry->access_points[0].probe_state, kProbeUnreachable);
}

TEST_F(ServerListTest, LoadRepairsFieldsOfADamagedButValidFile) {
    ServerEntry entry;
    std::memset(entry.record.name, 'n', sizeof entry.record.name);
    core::set_field_text(entry.record.company, "Co");
    core::set_field_text(entry.record.selected_address, "gone.example");
    entry.access_points.push_back(access_point("kept.example"));
    entry.access_points[0].probe_state = 1;
    entry.access_points[0].scratch = 99;
    std::vector<uint8_t> image = serialize_server_file(entry, random);
    // The filler written after the texts must not count as part of them.
    ASSERT_TRUE(test::write_bytes(folder.file("config/x.srv"), image));

    list.load_all("Broker");
    std::optional<ServerEntry> loaded = list.copy_at(0);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->name().size(), 63u);
    EXPECT_EQ(loaded->selected_address(), "") << "a selection that names no access point is dropped";
    EXPECT_EQ(address_of(loaded->access_points[0]), "kept.example");
    EXPECT_EQ(loaded->access_points[0].probe_state, kProbeNotMeasured);
    EXPECT_EQ(loaded->access_points[0].scratch, 0);
}

TEST_F(ServerListTest, TypedInServersLiveOnlyInMemory) {
    list.update_server("10.1.1.1:443", "10.1.1.1:443", 1, std::vector{access_point("10.1.1.1:443")});
    list.select_access_point("10.1.1.1:443", "10.1.1.1:443");
    list.save();
    EXPECT_FALSE(platform::file_exists(list.server_file("10.1.1.1:443")));
    EXPECT_EQ(list.find_by_name_or_address("10.1.1.1:443"), "10.1.1.1:443");
}

TEST_F(ServerListTest, EmptyListGetsTheDemoServerAndResetsWhiteLabels) {
    settings.write_number(core::kSectionSettings, "WhiteLabelSuccessful", 1);
    settings.write_number(core::kSectionSettings, "WhiteLabelTimestamp", 12345);
    list.load_all(kMakerCompany);

    EXPECT_EQ(settings.read_number(core::kSectionSettings, "WhiteLabelSuccessful", -1), 0);
    EXPECT_EQ(settings.read_number(core::kSectionSettings, "WhiteLabelTimestamp", -1), 0);
    std::optional<ServerEntry> demo = list.find_copy("Quorvantis-Demo");
    ASSERT_TRUE(demo);
    EXPECT_EQ(core::field_text(demo->record.company), "Quorvantis Software Corp.");
    EXPECT_EQ(demo->record.type, 1);
    ASSERT_EQ(demo->access_points.size(), 1u);
    EXPECT_EQ(address_of(demo->access_points[0]), "127.0.0.1:4443");
    EXPECT_EQ(core::field_text(demo->access_points[0].description), "Quorvantis Demo");
    EXPECT_TRUE(platform::file_exists(list.server_file("Quorvantis-Demo")));
}

TEST_F(ServerListTest, WhiteLabelsStayWithTwoServersOrAnotherBrand) {
    settings.write_number(core::kSectionSettings, "WhiteLabelTimestamp", 12345);
    list.load_all("Broker Ltd");
    EXPECT_EQ(settings.read_number(core::kSectionSettings, "WhiteLabelTimestamp", -1), 12345);

    list.update_server("Other", "Co", 1, std::vector{access_point("x")});
    list.load_all(kMakerCompany);
    EXPECT_EQ(list.size(), 2u) << "the demo server and Other";
    EXPECT_EQ(settings.read_number(core::kSectionSettings, "WhiteLabelTimestamp", -1), 12345);
}

TEST_F(ServerListTest, UpdatingAKnownServerKeepsTimesOfUnchangedAddresses) {
    list.update_server("S", "Co", 1, std::vector{access_point("a"), access_point("b")});
    list.record_connect_time("S", "a", 300);
    list.record_connect_time("S", "b", 400);
    list.update_server("S", "New Co", 0, std::vector{access_point("a", 5, "desc"), access_point("c"), access_point("d")});

    std::optional<ServerEntry> entry = list.copy_at(0);
    ASSERT_TRUE(entry);
    EXPECT_EQ(core::field_text(entry->record.company), "New Co");
    EXPECT_EQ(entry->record.type, 0);
    EXPECT_EQ(entry->record.access_point_count, 3);
    ASSERT_EQ(entry->access_points.size(), 3u);
    EXPECT_EQ(entry->access_points[0].time_ms, 300);
    EXPECT_EQ(entry->access_points[0].priority, 5);
    EXPECT_EQ(entry->access_points[1].time_ms, 0);
    EXPECT_EQ(entry->access_points[2].time_ms, 0);
    for (const auto& point : entry->access_points) EXPECT_EQ(point.probe_state, kProbeNotMeasured);
}

TEST_F(ServerListTest, UpdateRefusesBadInput) {
    std::vector<AccessPointRecord> too_many(65, access_point("h"));
    EXPECT_FALSE(list.update_server("S", "Co", 1, too_many));
    EXPECT_FALSE(list.update_server("S", "Co", 1, {}));
    EXPECT_FALSE(list.update_server("", "Co", 1, std::vector{access_point("h")}));
    EXPECT_FALSE(list.update_server("../escape", "Co", 1, std::vector{access_point("h")}));
    EXPECT_FALSE(list.update_server(std::string(64, 'n'), "Co", 1, std::vector{access_point("h")}));
    EXPECT_EQ(list.size(), 0u);
    EXPECT_TRUE(list.update_server(std::string(63, 'n'), "Co", 1, std::vector<AccessPointRecord>(64, access_point("h"))));
}

TEST_F(ServerListTest, SortedCopyOrdersByTimeOver100PlusPriorityThenAddress) {
    list.update_server("S", "Co", 1,
                       std::vector{access_point("d", 0), access_point("c", 3), access_point("b", 0), access_point("a", 5)});
    list.record_connect_time("S", "d", 500);   // 5 + 0
    list.record_connect_time("S", "c", 299);   // 2 + 3
    list.record_connect_time("S", "b", 900);   // 9 + 0
    list.record_connect_time("S", "a", 0);     // 0 + 5
    std::vector<std::string> order;
    const ServerEntry sorted = *list.find_copy("S");
    for (const auto& point : sorted.access_points) order.emplace_back(address_of(point));
    EXPECT_EQ(order, (std::vector<std::string>{"a", "c", "d", "b"}));
    EXPECT_EQ(address_of(list.copy_at(0)->access_points[0]), "d") << "index copies keep the stored order";
}

TEST_F(ServerListTest, FailureMarksAndTheirReset) {
    list.update_server("S", "Co", 1, std::vector{access_point("a"), access_point("b")});
    list.select_access_point("S", "a");
    EXPECT_EQ(list.copy_at(0)->selected_address(), "a");
    list.mark_selected_failed("S");
    EXPECT_EQ(list.copy_at(0)->selected_address(), "");
    EXPECT_EQ(list.copy_at(0)->access_points[0].time_ms, kFailedMs);
    list.reset_failures("S");
    EXPECT_EQ(list.copy_at(0)->access_points[0].time_ms, kNeverMeasuredMs);
}

TEST_F(ServerListTest, SaveWritesOnlyWhenSomethingChanged) {
    list.update_server("S", "Co", 1, std::vector{access_point("a")});
    EXPECT_FALSE(list.dirty());
    platform::remove_file(list.server_file("S"));
    list.save();
    EXPECT_FALSE(platform::file_exists(list.server_file("S")));
    list.select_access_point("S", "a");
    EXPECT_TRUE(list.dirty());
    list.save();
    EXPECT_TRUE(platform::file_exists(list.server_file("S")));
    EXPECT_FALSE(list.dirty());
}

TEST_F(ServerListTest, UpdatingOneServerKeepsOtherChangesPending) {
    list.update_server("A", "Co", 1, std::vector{access_point("a")});
    list.update_server("B", "Co", 1, std::vector{access_point("b")});
    list.select_access_point("A", "a");
    list.update_server("B", "Co", 1, std::vector{access_point("b")});
    EXPECT_TRUE(list.dirty()) << "A's selection is not on disk yet";
}

TEST_F(ServerListTest, FindByNameOrAddress) {
    list.update_server("S", "Co", 1, std::vector{access_point("a.example:443"), access_point("b.example")});
    EXPECT_EQ(list.find_by_name_or_address("S"), "S");
    EXPECT_EQ(list.find_by_name_or_address("b.example"), "S");
    EXPECT_EQ(list.find_by_name_or_address("a.example"), std::nullopt);
}

}  // namespace
}  // namespace kb::config
