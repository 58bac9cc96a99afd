#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "platform/byte_order.h"

namespace kb::config {

#pragma pack(push, 1)
// One event of the sound table; texts are UTF-16LE bytes as the file holds them.
struct SoundEventSlot {
    uint8_t name[64];       // at most 31 characters
    uint8_t action[256];    // a .wav file or something to open; at most 127 characters
    int32_t enabled;
};

// The sound table: config/events.ini, plain.
struct SoundEventsRecord {
    int32_t version;                  // 401
    SoundEventSlot entries[16];
    int32_t sounds_enabled;           // master switch: only 1 lets events sound
};
#pragma pack(pop)

static_assert(sizeof(SoundEventSlot) == 324);
static_assert(offsetof(SoundEventSlot, action) == 64);
static_assert(offsetof(SoundEventSlot, enabled) == 320);
static_assert(sizeof(SoundEventsRecord) == 5192);
static_assert(offsetof(SoundEventsRecord, entries) == 4);
static_assert(offsetof(SoundEventsRecord, sounds_enabled) == 5188);

inline constexpr int32_t kSoundEventsVersion = 401;
inline constexpr size_t kSoundEventCount = 16;

// The slots the terminal plays.
enum class SoundEvent : int {
    Connect = 0,
    Disconnect = 1,
    EmailNotify = 2,
    Timeout = 3,
    Ok = 4,
    News = 5,
    Alert = 6,
    Requote = 7,
};

// The table as the rest of the program sees it: UTF-8 texts.
struct SoundEventEntry {
    std::string name;
    std::string action;
    int32_t enabled = 0;
};
struct SoundEvents {
    std::array<SoundEventEntry, kSoundEventCount> entries;
    int32_t sounds_enabled = 1;
};

// The built-in table (eight named events, eight empty slots, master switch 1).
SoundEventsRecord default_sound_events();

// Reads the bytes of an events.ini file: a short file or another version gives the
// built-in table; every name and action is cut to its field. Any input is accepted.
SoundEventsRecord parse_sound_events(std::span<const uint8_t> bytes);

// Conversions at the edge; texts too long for a field are cut, invalid code units
// become U+FFFD.
SoundEvents to_sound_events(const SoundEventsRecord& record);
SoundEventsRecord to_sound_events_record(const SoundEvents& events);

}  // namespace kb::config
