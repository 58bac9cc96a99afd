// The indicator list ordered by use and its file "profiles/indicators.dat".

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "chart/catalogue/indicator_catalogue.h"
#include "config/utf16_text.h"
#include "platform/files.h"
#include "tests/support/temp_folder.h"

namespace kb::chart {
namespace {

constexpr int64_t kNow = 1'760'000'000;
constexpr int32_t kDay = 86400;

IndicatorUseRecord record_of(std::string_view name, int32_t last_used, int32_t count, int32_t group = 0) {
    IndicatorUseRecord record{};
    config::utf8_to_utf16le_field(name, record.name);
    record.group = group;
    record.last_used = last_used;
    record.use_count = count;
    return record;
}

std::vector<uint8_t> bytes_of(const std::vector<IndicatorUseRecord>& records) {
    std::vector<uint8_t> bytes(records.size() * sizeof(IndicatorUseRecord));
    std::memcpy(bytes.data(), records.data(), bytes.size());
    return bytes;
}

std::vector<std::string> names_of(const IndicatorCatalogue& catalogue) {
    std::vector<std::string> names;
    for (const IndicatorUse& entry : catalogue.entries()) names.push_back(entry.name);
    return names;
}

// The built-in names less the given ones, in their alphabetical order.
std::vector<std::string> alphabetical_without(std::initializer_list<std::string_view> left_out) {
    std::vector<std::string> names;
    for (std::string_view name : catalogue_names())
        if (std::find(left_out.begin(), left_out.end(), name) == left_out.end()) names.emplace_back(name);
    return names;
}

class IndicatorCatalogueFile : public ::testing::Test {
protected:
    testing::TempFolder folder_;
    std::string path_ = folder_.file("indicators.dat");
};

TEST_F(IndicatorCatalogueFile, MissingFileGivesTheAlphabeticalList) {
    IndicatorCatalogue catalogue;
    EXPECT_FALSE(catalogue.load(path_, kNow));
    EXPECT_EQ(names_of(catalogue), alphabetical_without({}));
    for (const IndicatorUse& entry : catalogue.entries()) {
        EXPECT_EQ(entry.use_count, 0);
        EXPECT_EQ(entry.last_used, 0);
    }
}

TEST_F(IndicatorCatalogueFile, SortsByUseThenLastUseThenName) {
    ASSERT_TRUE(platform::write_file_atomic(
        path_, bytes_of({
                   record_of("Volumes", kNow - 8 * kDay, 9),                   // eight days ago: as never used
                   record_of("Moving Average", kNow - 2 * kDay, 5),
                   record_of("Zig Zag", kNow, 50),                             // not ours: ignored
                   record_of("Relative Strength Index", kNow - kDay, 5),
                   record_of("Commodity Channel Index", kNow - 3600, 1),
                   record_of("Awesome Oscillator", kNow - 7 * kDay, 1),        // exactly a week: kept
                   record_of("Alligator", kNow - 7 * kDay - 1, 3),             // a second more: forgotten
               })));
    IndicatorCatalogue catalogue;
    ASSERT_TRUE(catalogue.load(path_, kNow));
    std::vector<std::string> expected = {"Relative Strength Index", "Moving Average", "Commodity Channel Index",
                                         "Awesome Oscillator"};
    for (std::string& name : alphabetical_without({"Relative Strength Index", "Moving Average",
                                                   "Commodity Channel Index", "Awesome Oscillator"}))
        expected.push_back(name);
    EXPECT_EQ(names_of(catalogue), expected);

    const auto entries = catalogue.entries();
    auto volumes = std::find_if(entries.begin(), entries.end(), [](const auto& e) { return e.name == "Volumes"; });
    EXPECT_EQ(volumes->use_count, 0);
    EXPECT_EQ(volumes->last_used, 0);
    EXPECT_FALSE(catalogue.changed());
}

TEST_F(IndicatorCatalogueFile, ShortFileCoversOnlyItsWholeRecords) {
    std::vector<uint8_t> bytes = bytes_of({record_of("Volumes", kNow, 2), record_of("MACD", kNow, 4)});
    bytes.resize(sizeof(IndicatorUseRecord) + 70);
    ASSERT_TRUE(platform::write_file_atomic(path_, bytes));
    IndicatorCatalogue catalogue;
    catalogue.load(path_, kNow);
    EXPECT_EQ(names_of(catalogue).front(), "Volumes");
    EXPECT_EQ(names_of(catalogue)[1], "Accelerator Oscillator");
}

TEST_F(IndicatorCatalogueFile, NameWithoutTerminatorIsReadWithinItsField) {
    IndicatorUseRecord record = record_of("MACD", kNow, 3);
    for (std::size_t i = 8; i < sizeof record.name; ++i) record.name[i] = 'A';   // no 16-bit NUL
    ASSERT_TRUE(platform::write_file_atomic(path_, bytes_of({record})));
    IndicatorCatalogue catalogue;
    catalogue.load(path_, kNow);
    EXPECT_EQ(names_of(catalogue).front(), "Accelerator Oscillator");   // "MACDAAAA..." is no name of ours
}

TEST_F(IndicatorCatalogueFile, WrittenOnlyWhenAUseWasNoted) {
    IndicatorCatalogue catalogue;
    catalogue.load(path_, kNow);
    EXPECT_TRUE(catalogue.save_if_changed(path_));
    EXPECT_FALSE(platform::file_exists(path_));

    EXPECT_FALSE(catalogue.note_use("Zig Zag", kNow));
    EXPECT_FALSE(catalogue.changed());
    EXPECT_TRUE(catalogue.note_use("Stochastic Oscillator", kNow - 10));
    EXPECT_TRUE(catalogue.note_use("Stochastic Oscillator", kNow - 5));
    EXPECT_TRUE(catalogue.note_use("Fractals", kNow));
    EXPECT_TRUE(catalogue.changed());
    EXPECT_EQ(names_of(catalogue)[0], "Stochastic Oscillator");
    EXPECT_EQ(names_of(catalogue)[1], "Fractals");
    ASSERT_TRUE(catalogue.save_if_changed(path_));
    EXPECT_FALSE(catalogue.changed());

    const auto bytes = platform::read_file(path_);
    ASSERT_TRUE(bytes);
    ASSERT_EQ(bytes->size(), 4200u);
    // First record: the name in UTF-16LE, zero-filled, then group, last use and count.
    const uint8_t* first = bytes->data();
    const std::string name = "Stochastic Oscillator";
    for (std::size_t i = 0; i < 64; ++i) {
        const uint8_t expected = i < name.size() ? static_cast<uint8_t>(name[i]) : 0;
        ASSERT_EQ(first[2 * i], expected) << i;
        ASSERT_EQ(first[2 * i + 1], 0) << i;
    }
    int32_t group, last_used, count;
    std::memcpy(&group, first + 128, 4);
    std::memcpy(&last_used, first + 132, 4);
    std::memcpy(&count, first + 136, 4);
    EXPECT_EQ(group, 1);   // an oscillator
    EXPECT_EQ(last_used, kNow - 5);
    EXPECT_EQ(count, 2);
    std::memcpy(&group, first + 140 + 128, 4);
    EXPECT_EQ(group, 3);   // Fractals: the Bill Williams family

    // Saved again unchanged: not written.
    ASSERT_TRUE(platform::remove_file(path_));
    EXPECT_TRUE(catalogue.save_if_changed(path_));
    EXPECT_FALSE(platform::file_exists(path_));
}

TEST_F(IndicatorCatalogueFile, SavedListLoadsInTheSameOrder) {
    IndicatorCatalogue first;
    first.note_use("Envelopes", kNow - 100);
    first.note_use("Volumes", kNow - 50);
    first.note_use("Envelopes", kNow - 20);
    ASSERT_TRUE(first.save_if_changed(path_));
    IndicatorCatalogue second;
    ASSERT_TRUE(second.load(path_, kNow));
    EXPECT_EQ(names_of(second), names_of(first));
    EXPECT_EQ(names_of(second)[0], "Envelopes");
    EXPECT_EQ(names_of(second)[1], "Volumes");
}

TEST(IndicatorGroups, EveryEntryHasOneOfTheFourGroups) {
    const std::pair<const char*, IndicatorGroup> cases[] = {
        {"Moving Average", IndicatorGroup::Trend},      {"Parabolic SAR", IndicatorGroup::Trend},
        {"Relative Strength Index", IndicatorGroup::Oscillator}, {"MACD", IndicatorGroup::Oscillator},
        {"On Balance Volume", IndicatorGroup::Volume},  {"Money Flow Index", IndicatorGroup::Volume},
        {"Alligator", IndicatorGroup::BillWilliams},    {"Market Facilitation Index", IndicatorGroup::BillWilliams},
    };
    IndicatorCatalogue catalogue;
    const auto entries = catalogue.entries();
    for (auto [name, group] : cases) {
        auto entry = std::find_if(entries.begin(), entries.end(), [&](const auto& e) { return e.name == name; });
        ASSERT_NE(entry, entries.end()) << name;
        EXPECT_EQ(entry->group, group) << name;
    }
}

TEST(IndicatorCataloguePath, IsUnderProfiles) {
    EXPECT_EQ(indicator_catalogue_path("/opt/kb"), "/opt/kb/profiles/indicators.dat");
}

}  // namespace
}  // namespace kb::chart
