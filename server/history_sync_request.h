#pragma once
#include <cstddef>
#include <cstdint>

namespace kb::server {

#pragma pack(push, 1)
// The history synchronisation request (command 9 on the history server), after its byte.
struct HistorySyncRequest {
    char symbol[12];                 // NUL-terminated, byte 11 forced to NUL on receipt
    int32_t period;                  // minutes
    int32_t first_time;              // open time of the client's oldest bar, 0 when none
    int32_t newest_time;             // open time of its newest bar, 0 when none
    int32_t time_sign;               // the sign of the server data it holds
    int32_t version;                 // 2
};
#pragma pack(pop)
static_assert(sizeof(HistorySyncRequest) == 32);
static_assert(offsetof(HistorySyncRequest, period) == 12);
static_assert(offsetof(HistorySyncRequest, first_time) == 16);
static_assert(offsetof(HistorySyncRequest, newest_time) == 20);
static_assert(offsetof(HistorySyncRequest, time_sign) == 24);
static_assert(offsetof(HistorySyncRequest, version) == 28);

}  // namespace kb::server
