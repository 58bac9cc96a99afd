#pragma once
#include <cstddef>
#include <cstdint>

namespace kb::messaging {

#pragma pack(push, 1)
// One news item, the same in memory and in news.dat; on the wire its fields travel one by
// one (command 152). The body lives outside the record: body_pointer is only a slot kept
// for the layout, never a pointer here (written as 0, ignored on read).
struct NewsRecord {
    uint32_t id;
    int32_t time;                    // server time
    char time_text[32];              // NUL at 39
    char subject[256];               // NUL at 295
    char keywords[64];               // NUL at 359
    char parameters[256];            // NUL at 615; "lang=" selects the language
    uint32_t body_pointer;
    int32_t body_length;             // 0 no body, kBodyNotReceived: not yet received
    uint8_t priority;                // 1: top group of the list
    uint8_t read;                    // 1 once opened
    uint8_t reserved_626[2];
};
#pragma pack(pop)

static_assert(sizeof(NewsRecord) == 628);
static_assert(offsetof(NewsRecord, time) == 4);
static_assert(offsetof(NewsRecord, time_text) == 8);
static_assert(offsetof(NewsRecord, subject) == 40);
static_assert(offsetof(NewsRecord, keywords) == 296);
static_assert(offsetof(NewsRecord, parameters) == 360);
static_assert(offsetof(NewsRecord, body_pointer) == 616);
static_assert(offsetof(NewsRecord, body_length) == 620);
static_assert(offsetof(NewsRecord, priority) == 624);
static_assert(offsetof(NewsRecord, read) == 625);

inline constexpr int32_t kBodyNotReceived = -1;

// Forces the NUL at the end of each text field (39, 295, 359, 615), as every reader of a
// record from the wire or from news.dat must.
void force_terminators(NewsRecord& record);

}  // namespace kb::messaging
