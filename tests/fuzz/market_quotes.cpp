// Any bytes as a run of quote packets (command 151): a count byte, then that many
// 14-byte ticks, again and again. The symbols base and the history centre behind it must
// never crash, and the bars and entries they build must stay sound (see market_world.h).
#include <cstdint>
#include <cstring>
#include <vector>

#include "market_world.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kb;
    const std::string& folder = fuzzing::market_folder("quotefuzz");
    fuzzing::remove_server_files(folder);
    fuzzing::MarketWorld world(folder);
    while (size > 0) {
        const size_t count = data[0];
        ++data;
        --size;
        if (count == 0) continue;
        const size_t bytes = std::min(size, count * sizeof(market::TickRecord));
        std::vector<market::TickRecord> ticks(bytes / sizeof(market::TickRecord));
        if (!ticks.empty()) std::memcpy(ticks.data(), data, ticks.size() * sizeof(market::TickRecord));
        data += bytes;
        size -= bytes;
        world.base.add_quotes(ticks);
    }
    fuzzing::check_world(world);
    return 0;
}
