#pragma once
#include <cstddef>
#include <cstdint>

#include "market/bar_form.h"

namespace kb::market {

// The history synchronisation exchange (command 9 on the history server), shared by the
// terminal's history centre and the demo server.
//
//   request:  command 9, HistorySyncRequest
//   answer:   code 0, int32 new time sign, compressed block of bars (22- or 28-byte form)
//             code 1: nothing new; any other code: refused

#pragma pack(push, 1)
struct HistorySyncRequest {
    char symbol[12];                 // NUL-terminated, byte 11 forced to NUL on receipt
    int32_t period;                  // minutes
    int32_t first_time;              // open time of the client's oldest bar, 0 when none
    int32_t newest_time;             // open time of its newest bar, 0 when none
    int32_t time_sign;               // the sign of the server data it holds
    int32_t version;                 // kHistorySyncVersion
};
#pragma pack(pop)
static_assert(sizeof(HistorySyncRequest) == 32);
static_assert(offsetof(HistorySyncRequest, period) == 12);
static_assert(offsetof(HistorySyncRequest, first_time) == 16);
static_assert(offsetof(HistorySyncRequest, newest_time) == 20);
static_assert(offsetof(HistorySyncRequest, time_sign) == 24);
static_assert(offsetof(HistorySyncRequest, version) == 28);

inline constexpr int32_t kHistorySyncVersion = 2;

// The plain size limits of the answer's block, by bar form.
inline constexpr size_t kHistorySyncNarrowLimit = 10000000;
inline constexpr size_t kHistorySyncWideLimit = 5000000;

inline constexpr size_t history_sync_limit(BarForm form) {
    return form == BarForm::Wide28 ? kHistorySyncWideLimit : kHistorySyncNarrowLimit;
}

}  // namespace kb::market
