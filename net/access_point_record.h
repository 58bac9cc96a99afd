#pragma once
#include <cstddef>
#include <cstdint>

namespace kb::net {

#pragma pack(push, 1)
// One address through which a trade server is reached: the scrambled array of a .srv
// file and the access points of the server information reply (command 16).
struct AccessPointRecord {
    char address[64];               // "host" or "host:port", NUL at 63
    int32_t reserved_64;
    char description[64];           // NUL at 131
    int32_t reserved_132;
    int32_t priority;               // added to time / 100 when ordering
    int32_t reserved_140;
    int32_t probe_state;            // 0 not measured, 2 reachable, 3 unreachable
    int32_t time_ms;                // connect or probe time; 1000000000 never measured, 100000000 failed
    int32_t reserved_152;
    int32_t scratch;                // run-time only, cleared on load
};
#pragma pack(pop)

static_assert(sizeof(AccessPointRecord) == 160);
static_assert(offsetof(AccessPointRecord, description) == 68);
static_assert(offsetof(AccessPointRecord, priority) == 136);
static_assert(offsetof(AccessPointRecord, probe_state) == 144);
static_assert(offsetof(AccessPointRecord, time_ms) == 148);
static_assert(offsetof(AccessPointRecord, scratch) == 156);

}  // namespace kb::net
