#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/files.h"

namespace kb::config {

// Writes a store's file through a temporary file and a rename, creating its folder
// (config/ or profiles/) when missing. False when the write failed.
bool write_store_file(const std::string& path, std::span<const uint8_t> bytes,
                      platform::FileAccess access = platform::FileAccess::Shared);

// The first max_bytes of a store's file (a larger file is not read further); empty when
// it is missing or unreadable.
std::vector<uint8_t> read_store_file(const std::string& path, size_t max_bytes);

}  // namespace kb::config
