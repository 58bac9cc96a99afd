#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "market/bar_form.h"
#include "market/bar_record.h"
#include "market/point_bar.h"

namespace kb::net {
class OutputBuffer;
class PacketReader;
}  // namespace kb::net

namespace kb::market {

// The history synchronisation exchange (command 9 on the history server): the terminal's
// synchronisation thread asks, the demo server answers.
//
//   request:  command 9, HistorySyncRequest
//   answer:   code 0, int32 new time sign, compressed block of bars (22- or 28-byte form)
//             code 1: nothing new; any other code: refused
//
// The encoders are pure and append to the caller's buffer; the decoders read from the
// caller's connection. Callable from the thread that owns the buffer or reader.

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

// Appends command 9 and the request.
void put_history_sync_request(net::OutputBuffer& out, const HistorySyncRequest& request);
// Reads the request after its command byte, byte 11 of the symbol forced to NUL; nothing
// when the read fails (reader closed).
std::optional<HistorySyncRequest> read_history_sync_request(net::PacketReader& in);

// Appends the answer with bars: code 0, the time sign and the bars that fit the form as one
// compressed block. False, with a partial answer that must not be sent, when compressing
// failed (no memory).
bool put_history_sync_bars(net::OutputBuffer& out, int32_t time_sign, std::span<const PointBar> bars, BarForm form);

struct HistorySyncAnswer {
    enum class Status {
        Bars,         // time_sign and one of the bar lists (the form's) are filled
        NothingNew,   // code 1
        Refused,      // another code, or the connection failed (reader closed)
        Unreadable,   // a block that can't be read or isn't whole bars (reader closed)
    };
    Status status = Status::Refused;
    int32_t time_sign = 0;
    std::vector<WireBar28> bars28;
    std::vector<WireBar22> bars22;
};

// Reads the answer to a request from a server that sends bars in the form.
HistorySyncAnswer read_history_sync_answer(net::PacketReader& in, BarForm form);

}  // namespace kb::market
