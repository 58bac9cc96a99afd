#include "config/sound_events.h"

#include <cstring>
#include <string_view>

#include "config/utf16_text.h"

namespace kb::config {

namespace {

struct BuiltInEvent {
    std::string_view name;
    std::string_view action;
};

constexpr BuiltInEvent kBuiltInEvents[] = {
    {"Connect", "connect.wav"}, {"Disconnect", "disconnect.wav"}, {"Email Notify", "email.wav"},
    {"Timeout", "timeout.wav"}, {"Ok", "ok.wav"},                 {"News", "news.wav"},
    {"Alert", "alert.wav"},     {"Requote", "alert.wav"},
};

void set_field(std::span<uint8_t> field, std::string_view text) { utf8_to_utf16le_field(text, field); }

std::string field_utf8(std::span<const uint8_t> field) { return utf16le_field_to_utf8(field); }

}  // namespace

SoundEventsRecord default_sound_events() {
    SoundEventsRecord record{};
    record.version = kSoundEventsVersion;
    size_t slot = 0;
    for (const BuiltInEvent& event : kBuiltInEvents) {
        set_field(record.entries[slot].name, event.name);
        set_field(record.entries[slot].action, event.action);
        record.entries[slot].enabled = 1;
        ++slot;
    }
    record.sounds_enabled = 1;
    return record;
}

SoundEventsRecord parse_sound_events(std::span<const uint8_t> bytes) {
    SoundEventsRecord record{};
    if (bytes.size() >= sizeof record) std::memcpy(&record, bytes.data(), sizeof record);
    if (record.version != kSoundEventsVersion) return default_sound_events();
    for (SoundEventSlot& slot : record.entries) {
        terminate_utf16le_field(slot.name);
        terminate_utf16le_field(slot.action);
    }
    return record;
}

SoundEvents to_sound_events(const SoundEventsRecord& record) {
    SoundEvents events;
    for (size_t i = 0; i < kSoundEventCount; ++i) {
        events.entries[i].name = field_utf8(record.entries[i].name);
        events.entries[i].action = field_utf8(record.entries[i].action);
        events.entries[i].enabled = record.entries[i].enabled;
    }
    events.sounds_enabled = record.sounds_enabled;
    return events;
}

SoundEventsRecord to_sound_events_record(const SoundEvents& events) {
    SoundEventsRecord record{};
    record.version = kSoundEventsVersion;
    for (size_t i = 0; i < kSoundEventCount; ++i) {
        set_field(record.entries[i].name, events.entries[i].name);
        set_field(record.entries[i].action, events.entries[i].action);
        record.entries[i].enabled = events.entries[i].enabled;
    }
    record.sounds_enabled = events.sounds_enabled;
    return record;
}

}  // namespace kb::config
