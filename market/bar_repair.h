#pragma once
#include <vector>

#include "market/bar_record.h"

namespace kb::market {

// Checks bars read from a history file and repairs them in place: bars with a
// non-positive time, a non-positive, non-finite or implausible (above 10000000) price,
// prices outside their own low..high range, a non-finite volume, or the same time as the
// previous kept bar are deleted; a negative or huge volume becomes 1; bars out of time
// order are sorted (duplicates this brings together keep the first). Returns the number of errors found (one per fault). Pure.
int check_and_repair(std::vector<BarRecord>& bars);

// True when a downloaded bar may be merged: positive prices not above 10000000, low not
// above high, open and close within low..high, a finite volume of at least 1.
bool is_acceptable_download(const BarRecord& bar);

}  // namespace kb::market
