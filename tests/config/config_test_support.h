#pragma once
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "core/fixed_text.h"
#include "config/server_record.h"
#include "platform/files.h"

namespace kb::config::test {

inline AccessPointRecord access_point(const std::string& address, int32_t priority = 0,
                                      const std::string& description = "") {
    AccessPointRecord point{};
    core::set_field_text(point.address, address);
    core::set_field_text(point.description, description);
    point.priority = priority;
    return point;
}

template <typename Record>
bool write_plain(const std::string& path, const Record& record) {
    platform::make_directory(path.substr(0, path.rfind('/')));
    return platform::write_file_atomic(path, std::span(reinterpret_cast<const uint8_t*>(&record), sizeof record));
}

inline bool write_bytes(const std::string& path, std::span<const uint8_t> bytes) {
    platform::make_directory(path.substr(0, path.rfind('/')));
    return platform::write_file_atomic(path, bytes);
}

inline std::vector<uint8_t> file_bytes(const std::string& path) {
    return platform::read_file(path).value_or(std::vector<uint8_t>{});
}

}  // namespace kb::config::test
