#pragma once
#include <cstdint>

namespace kb::core {

// What the terminal reports to servers and the updater.
inline constexpr uint16_t kProgramVersion = 400;
inline constexpr uint16_t kProgramBuild = 445;

}  // namespace kb::core
