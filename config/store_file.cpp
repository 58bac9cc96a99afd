#include "config/store_file.h"

#include "platform/file_head.h"

namespace kb::config {

bool write_store_file(const std::string& path, std::span<const uint8_t> bytes, platform::FileAccess access) {
    size_t slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0) platform::make_directory(path.substr(0, slash));
    return platform::write_file_atomic(path, bytes, access);
}

std::vector<uint8_t> read_store_file(const std::string& path, size_t max_bytes) {
    return platform::read_file_head(path, max_bytes).value_or(std::vector<uint8_t>{});
}

}  // namespace kb::config
