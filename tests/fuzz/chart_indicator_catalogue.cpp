// Any bytes as "profiles/indicators.dat": the list keeps its thirty entries, each once,
// sorted by use, then last use, then name.
#include <algorithm>
#include <cstdint>
#include <string>

#include "chart/catalogue/indicator_catalogue.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kb::chart;
    IndicatorCatalogue catalogue;
    catalogue.merge({data, size}, 1'760'000'000);
    const std::vector<IndicatorUse> entries = catalogue.entries();
    kb::fuzzing::check(entries.size() == kCatalogueSize);
    for (std::size_t i = 1; i < entries.size(); ++i) {
        const IndicatorUse& a = entries[i - 1];
        const IndicatorUse& b = entries[i];
        kb::fuzzing::check(a.use_count > b.use_count ||
                           (a.use_count == b.use_count &&
                            (a.last_used > b.last_used || (a.last_used == b.last_used && a.name < b.name))));
    }
    return 0;
}
