#include "config/server_record.h"

#include <algorithm>
#include <cstring>

#include "core/fixed_text.h"
#include "net/scramble.h"

namespace kb::config {

std::string_view ServerEntry::name() const { return core::field_text(record.name); }

std::string_view ServerEntry::selected_address() const { return core::field_text(record.selected_address); }

AccessPointRecord* ServerEntry::find_access_point(std::string_view address) {
    for (AccessPointRecord& point : access_points) {
        if (address_of(point) == address) return &point;
    }
    return nullptr;
}

std::string_view address_of(const AccessPointRecord& point) { return core::field_text(point.address); }

void sort_access_points(std::vector<AccessPointRecord>& points) {
    const auto rank = [](const AccessPointRecord& point) {
        return static_cast<int64_t>(point.time_ms / 100) + point.priority;
    };
    std::stable_sort(points.begin(), points.end(), [&](const AccessPointRecord& a, const AccessPointRecord& b) {
        if (rank(a) != rank(b)) return rank(a) < rank(b);
        return address_of(a) < address_of(b);
    });
}

ServerFileStatus parse_server_file(std::span<const uint8_t> bytes, ServerEntry& entry) {
    entry = ServerEntry{};
    if (bytes.size() < sizeof(ServerRecord)) return ServerFileStatus::InvalidHeader;
    std::memcpy(&entry.record, bytes.data(), sizeof(ServerRecord));
    ServerRecord& record = entry.record;
    if (record.name[0] == '\0' || record.company[0] == '\0' || record.access_point_count < 1 ||
        record.access_point_count > kMaxAccessPoints) {
        return ServerFileStatus::InvalidHeader;
    }
    const size_t count = static_cast<size_t>(record.access_point_count);
    std::span<const uint8_t> array = bytes.subspan(sizeof(ServerRecord));
    if (array.size() < count * sizeof(AccessPointRecord)) return ServerFileStatus::ShortArray;

    std::vector<uint8_t> plain(array.begin(), array.begin() + static_cast<std::ptrdiff_t>(count * sizeof(AccessPointRecord)));
    net::file_unscramble(plain);
    entry.access_points.resize(count);
    std::memcpy(entry.access_points.data(), plain.data(), plain.size());
    for (AccessPointRecord& point : entry.access_points) {
        core::terminate_field(point.address);
        core::terminate_field(point.description);
        point.scratch = 0;
        if (point.probe_state == 1) point.probe_state = kProbeNotMeasured;
    }
    core::terminate_field(record.name);
    core::terminate_field(record.company);
    core::terminate_field(record.selected_address);
    if (!entry.selected_address().empty() && entry.find_access_point(entry.selected_address()) == nullptr) {
        std::memset(record.selected_address, 0, sizeof record.selected_address);
    }
    record.access_points_link = 0;
    record.next_link = 0;
    return ServerFileStatus::Loaded;
}

std::vector<uint8_t> serialize_server_file(const ServerEntry& entry, platform::Random& random) {
    ServerRecord header = entry.record;
    header.access_point_count = static_cast<int32_t>(entry.access_points.size());
    header.access_points_link = 0;
    header.next_link = 0;
    std::vector<AccessPointRecord> points = entry.access_points;
    for (AccessPointRecord& point : points) {
        core::fill_after_text(point.address, random);
        core::fill_after_text(point.description, random);
    }
    std::vector<uint8_t> image(sizeof header + points.size() * sizeof(AccessPointRecord));
    std::memcpy(image.data(), &header, sizeof header);
    std::memcpy(image.data() + sizeof header, points.data(), points.size() * sizeof(AccessPointRecord));
    net::file_scramble(std::span(image).subspan(sizeof header));
    return image;
}

}  // namespace kb::config
