#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kb::platform {

// Reads at most max_bytes from the start of a file (fewer when the file is shorter),
// without loading the rest. nullopt when it can't be opened or a read fails.
std::optional<std::vector<uint8_t>> read_file_head(const std::string& path, size_t max_bytes);

}  // namespace kb::platform
