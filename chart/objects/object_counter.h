#pragma once
#include <cstdint>

namespace kb::chart {

// The process-wide counter that numbers chart objects, so that an object can be found
// again by its number while the program runs. Thread-safe (atomic).

// A number not handed out before in this run (after raise_object_counter(n), higher than
// n; after 2^31 - 1 the numbers wrap around to negative ones rather than repeat).
int32_t next_object_counter();

// Makes the numbers handed out from now on higher than seen, when they aren't already:
// called for every counter read from the profile.
void raise_object_counter(int32_t seen);

}  // namespace kb::chart
