#pragma once
#include <array>
#include <memory>
#include <string_view>

#include "chart/framework/indicator.h"

namespace kb::chart {

inline constexpr int kCatalogueSize = 30;

// The display names of the 30 indicator classes, alphabetical ("Accelerator Oscillator"
// first, "Williams' Percent Range" last): the built-in order of the indicator list.
const std::array<std::string_view, kCatalogueSize>& catalogue_names();

// A new indicator of the class whose display name is exactly name, with the class's
// constructor defaults and its label built; null for any other name ("main" included: the
// price series is not made by the factory). An indicator the user adds then takes the
// user's defaults with load_defaults(); one read from a profile block does not. Any thread.
std::unique_ptr<CInd> create_indicator(std::string_view name);

}  // namespace kb::chart
