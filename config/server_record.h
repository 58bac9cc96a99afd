#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "net/access_point_record.h"
#include "platform/byte_order.h"
#include "platform/random.h"

namespace kb::config {

// The record is shared with the server information reply of the session.
using net::AccessPointRecord;

#pragma pack(push, 1)
// One trade server of a company: the plain header of a config/<name>.srv file.
struct ServerRecord {
    char name[64];                  // unique key and file name, NUL at 63
    char company[128];              // NUL at 191
    int32_t type;                   // kServerTypeSelectable: the terminal may choose it by itself
    int32_t best_time_ms;           // best connect time over the access points
    int32_t reserved_200;
    int32_t field_204;              // 0
    uint32_t access_points_link;    // meaningless in the file; written as 0
    int32_t access_point_count;     // 1..64
    char selected_address[64];      // the access point that last connected, NUL at 279; empty = none
    uint32_t selection_tick;        // millisecond tick of the last selection or probe
    uint8_t reserved_284[64];
    uint32_t next_link;             // meaningless in the file; written as 0
};

#pragma pack(pop)

static_assert(sizeof(ServerRecord) == 352);
static_assert(offsetof(ServerRecord, company) == 64);
static_assert(offsetof(ServerRecord, type) == 192);
static_assert(offsetof(ServerRecord, best_time_ms) == 196);
static_assert(offsetof(ServerRecord, field_204) == 204);
static_assert(offsetof(ServerRecord, access_points_link) == 208);
static_assert(offsetof(ServerRecord, access_point_count) == 212);
static_assert(offsetof(ServerRecord, selected_address) == 216);
static_assert(offsetof(ServerRecord, selection_tick) == 280);
static_assert(offsetof(ServerRecord, next_link) == 348);

inline constexpr int32_t kServerTypeSelectable = 1;
inline constexpr int32_t kMaxAccessPoints = 64;
inline constexpr int32_t kNeverMeasuredMs = 1000000000;
inline constexpr int32_t kFailedMs = 100000000;
// A connect attempt that failed while connecting through the list.
inline constexpr int32_t kConnectFailureMs = 1000000;

enum ProbeState : int32_t {
    kProbeNotMeasured = 0,
    kProbeReachable = 2,
    kProbeUnreachable = 3,
};

// A server with its access points, as the list holds and hands out copies of it.
struct ServerEntry {
    ServerRecord record{};
    std::vector<AccessPointRecord> access_points;

    std::string_view name() const;
    std::string_view selected_address() const;
    // The access point with that address, or null.
    AccessPointRecord* find_access_point(std::string_view address);
};

std::string_view address_of(const AccessPointRecord& point);

// Orders access points by time / 100 + priority, then by address (bytes).
void sort_access_points(std::vector<AccessPointRecord>& points);

enum class ServerFileStatus {
    Loaded,          // entry is valid
    InvalidHeader,   // empty name or company, or a count outside 1..64: delete the file
    ShortArray,      // the access points are cut short: skip the file, keep it
};

// Reads the bytes of a .srv file: the plain header and count scrambled access points.
// Forces every terminator, clears run-time fields, reads a stored state 1 as 0 and
// drops a selection that names no access point. Any input is accepted.
ServerFileStatus parse_server_file(std::span<const uint8_t> bytes, ServerEntry& entry);

// The file image of entry: the header (links zeroed) in plain, then the access points
// with random bytes (from random) after each address and description, scrambled as one
// chain.
std::vector<uint8_t> serialize_server_file(const ServerEntry& entry, platform::Random& random);

}  // namespace kb::config
