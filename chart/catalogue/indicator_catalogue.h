#pragma once
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "chart/catalogue/indicator_factory.h"

namespace kb::chart {

// The record of "profiles/indicators.dat": 30 of them, 4200 bytes.
#pragma pack(push, 1)
struct IndicatorUseRecord {
    uint8_t name[128];    // display name, UTF-16LE, zero-filled
    int32_t group;        // list group (written, never read back)
    int32_t last_used;    // seconds since 1970, local time
    int32_t use_count;
};
#pragma pack(pop)
static_assert(sizeof(IndicatorUseRecord) == 140);
static_assert(offsetof(IndicatorUseRecord, group) == 128);
static_assert(offsetof(IndicatorUseRecord, last_used) == 132);
static_assert(offsetof(IndicatorUseRecord, use_count) == 136);

inline constexpr std::string_view kIndicatorCatalogueFile = "indicators.dat";

// The list group of a catalogue entry, our own grouping of the indicator list:
// 0 trend indicators drawn over the prices, 1 oscillators, 2 volume indicators,
// 3 the Bill Williams family (Accelerator, Alligator, Awesome, Fractals, Gator, BW MFI).
enum class IndicatorGroup : int32_t { Trend = 0, Oscillator = 1, Volume = 2, BillWilliams = 3 };

// One entry of the indicator list offered to the user.
struct IndicatorUse {
    std::string name;
    IndicatorGroup group = IndicatorGroup::Trend;
    int32_t last_used = 0;
    int32_t use_count = 0;
};

// The indicator list ordered by use: built alphabetical, merged with indicators.dat at
// start and sorted (use count descending, then last use descending, then name by UTF-16
// code units); written back at shutdown only when a use was noted.
// Thread-safe: one lock guards the list, the file reading and the file writing.
class IndicatorCatalogue {
public:
    static constexpr int32_t kForgetAfterSeconds = 604800;   // one week

    IndicatorCatalogue();

    // Merges the file's records into the built-in list: a record whose name is a built-in
    // name gives that entry its last use and count, unless it was last used more than a
    // week before now (local time in seconds since 1970), which leaves 0 and 0. Records with
    // unknown names are ignored; a missing or short file leaves the entries it does not
    // cover at 0 and 0. Then sorts. Returns false when the file could not be opened.
    bool load(const std::string& path, int64_t now);

    // The same merge and sort over the bytes of such a file.
    void merge(std::span<const uint8_t> file_bytes, int64_t now);

    // The list in its current order (copies).
    std::vector<IndicatorUse> entries() const;

    // Notes that the user chose the indicator: count + 1, last use now, list re-sorted and
    // marked changed. False for a name outside the catalogue.
    bool note_use(std::string_view name, int64_t now);

    bool changed() const;

    // Writes the 30 records in list order over the file (temporary file and rename) when
    // marked changed, then clears the mark. True when nothing needed writing or the write
    // succeeded.
    bool save_if_changed(const std::string& path);

private:
    void merge_locked(std::span<const uint8_t> file_bytes, int64_t now);
    void sort_entries();

    mutable std::mutex lock_;
    std::vector<IndicatorUse> entries_;
    bool changed_ = false;
};

// "<program folder>/profiles/indicators.dat".
std::string indicator_catalogue_path(std::string_view program_folder);

}  // namespace kb::chart
