// events.ini loader: any bytes give a sound table whose texts convert both ways. The input
// is used both as the file itself and zero-padded to a full record of the right version,
// so that short inputs reach the texts of a valid file.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

#include "config/sound_events.h"

namespace {

void check(std::span<const uint8_t> file) {
    using namespace kb::config;
    SoundEventsRecord record = parse_sound_events(file);
    if (record.version != kSoundEventsVersion) std::abort();
    SoundEvents events = to_sound_events(record);
    SoundEvents again = to_sound_events(to_sound_events_record(events));
    for (size_t i = 0; i < kSoundEventCount; ++i) {
        if (again.entries[i].name != events.entries[i].name || again.entries[i].action != events.entries[i].action) {
            std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    check(std::span(data, size));

    std::vector<uint8_t> shaped(sizeof(kb::config::SoundEventsRecord), 0);
    std::memcpy(shaped.data(), data, std::min(size, shaped.size()));
    const int32_t version = kb::config::kSoundEventsVersion;
    std::memcpy(shaped.data(), &version, sizeof version);
    check(shaped);
    return 0;
}
