#pragma once
#include <bit>

// Records are copied to and from the wire and files as they lie in memory.
static_assert(std::endian::native == std::endian::little, "records assume a little-endian host");
