#include "chart/catalogue/indicator_catalogue.h"

#include <algorithm>
#include <cstring>

#include "config/utf16_text.h"
#include "platform/files.h"

namespace kb::chart {
namespace {

IndicatorGroup group_of(std::string_view name) {
    static constexpr std::string_view kBillWilliams[] = {"Accelerator Oscillator", "Alligator",
                                                         "Awesome Oscillator",     "Fractals",
                                                         "Gator Oscillator",       "Market Facilitation Index"};
    static constexpr std::string_view kVolume[] = {"Accumulation/Distribution", "Money Flow Index",
                                                   "On Balance Volume", "Volumes"};
    static constexpr std::string_view kTrend[] = {"Bollinger Bands", "Envelopes",     "Ichimoku Kinko Hyo",
                                                  "Moving Average",  "Parabolic SAR", "Standard Deviation"};
    auto in = [name](const auto& names) { return std::find(std::begin(names), std::end(names), name) != std::end(names); };
    if (in(kBillWilliams)) return IndicatorGroup::BillWilliams;
    if (in(kVolume)) return IndicatorGroup::Volume;
    if (in(kTrend)) return IndicatorGroup::Trend;
    return IndicatorGroup::Oscillator;
}

// The names are ASCII, so byte order is the order of their UTF-16 code units.
bool comes_before(const IndicatorUse& a, const IndicatorUse& b) {
    if (a.use_count != b.use_count) return a.use_count > b.use_count;
    if (a.last_used != b.last_used) return a.last_used > b.last_used;
    return a.name < b.name;
}

}  // namespace

IndicatorCatalogue::IndicatorCatalogue() {
    for (std::string_view name : catalogue_names())
        entries_.push_back({std::string(name), group_of(name), 0, 0});
}

bool IndicatorCatalogue::load(const std::string& path, int64_t now) {
    const std::optional<std::vector<uint8_t>> bytes = platform::read_file(path);
    std::lock_guard lock(lock_);
    merge_locked(bytes ? std::span<const uint8_t>(*bytes) : std::span<const uint8_t>(), now);
    return bytes.has_value();
}

void IndicatorCatalogue::merge(std::span<const uint8_t> file_bytes, int64_t now) {
    std::lock_guard lock(lock_);
    merge_locked(file_bytes, now);
}

void IndicatorCatalogue::merge_locked(std::span<const uint8_t> file_bytes, int64_t now) {
    const std::size_t records = file_bytes.size() / sizeof(IndicatorUseRecord);
    for (std::size_t r = 0; r < records; ++r) {
        IndicatorUseRecord record;
        std::memcpy(&record, file_bytes.data() + r * sizeof record, sizeof record);
        config::terminate_utf16le_field(record.name);
        const std::string name = config::utf16le_field_to_utf8(record.name);
        auto entry =
            std::find_if(entries_.begin(), entries_.end(), [&](const IndicatorUse& e) { return e.name == name; });
        if (entry == entries_.end()) continue;
        const bool forgotten = now - record.last_used > kForgetAfterSeconds;
        entry->last_used = forgotten ? 0 : record.last_used;
        entry->use_count = forgotten ? 0 : record.use_count;
    }
    sort_entries();
}

std::vector<IndicatorUse> IndicatorCatalogue::entries() const {
    std::lock_guard lock(lock_);
    return entries_;
}

bool IndicatorCatalogue::note_use(std::string_view name, int64_t now) {
    std::lock_guard lock(lock_);
    auto entry = std::find_if(entries_.begin(), entries_.end(), [&](const IndicatorUse& e) { return e.name == name; });
    if (entry == entries_.end()) return false;
    if (entry->use_count < INT32_MAX) ++entry->use_count;
    entry->last_used = static_cast<int32_t>(now);
    changed_ = true;
    sort_entries();
    return true;
}

bool IndicatorCatalogue::changed() const {
    std::lock_guard lock(lock_);
    return changed_;
}

bool IndicatorCatalogue::save_if_changed(const std::string& path) {
    std::lock_guard lock(lock_);
    if (!changed_) return true;
    std::vector<uint8_t> bytes(entries_.size() * sizeof(IndicatorUseRecord));
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        IndicatorUseRecord record{};
        config::utf8_to_utf16le_field(entries_[i].name, record.name);
        record.group = static_cast<int32_t>(entries_[i].group);
        record.last_used = entries_[i].last_used;
        record.use_count = entries_[i].use_count;
        std::memcpy(bytes.data() + i * sizeof record, &record, sizeof record);
    }
    if (!platform::write_file_atomic(path, bytes)) return false;
    changed_ = false;
    return true;
}

void IndicatorCatalogue::sort_entries() { std::stable_sort(entries_.begin(), entries_.end(), comes_before); }

std::string indicator_catalogue_path(std::string_view program_folder) {
    return platform::join_path(platform::join_path(program_folder, "profiles"), kIndicatorCatalogueFile);
}

}  // namespace kb::chart
