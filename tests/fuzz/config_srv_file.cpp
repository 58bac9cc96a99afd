// .srv loader: any bytes are rejected, skipped or give a well-formed server entry.
#include <algorithm>
#include <cstdlib>
#include <span>
#include <vector>

#include "config/server_record.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kb::config;
    ServerEntry entry;
    if (parse_server_file(std::span(data, size), entry) != ServerFileStatus::Loaded) return 0;
    const size_t count = entry.access_points.size();
    if (count < 1 || count > 64 || entry.record.name[63] != '\0' || entry.record.selected_address[63] != '\0') {
        std::abort();
    }
    if (!entry.selected_address().empty() && entry.find_access_point(entry.selected_address()) == nullptr) std::abort();
    sort_access_points(entry.access_points);

    ServerEntry again;
    kb::platform::SeededRandom random(size);
    if (parse_server_file(serialize_server_file(entry, random), again) != ServerFileStatus::Loaded ||
        again.access_points.size() != count || again.name() != entry.name()) {
        std::abort();
    }
    return 0;
}
