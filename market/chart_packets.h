#pragma once
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

// Chart history on the wire, command 156 both ways: the terminal asks with chart requests,
// a server answers each with a push of bars. The encoders are pure and append to the
// caller's buffer; the decoders read what follows the command byte from the caller's
// connection. Callable from the thread that owns the buffer or reader.

// ---- requests: command 156, count (uint16), that many 22-byte ChartRequest ----

// Appends the packet; nothing when there are no requests.
void put_chart_requests(net::OutputBuffer& out, std::span<const ChartRequest> requests);

struct ReceivedChartRequests {
    enum class Status { Read, TooMany, Failed };
    Status status = Status::Failed;
    uint16_t count = 0;                      // as the packet gave it
    std::vector<ChartRequest> requests;      // for Read; each symbol's byte 11 forced to NUL
};

// Reads the count and the requests. A count above max_count is TooMany with the requests
// left unread; a failed read is Failed (reader closed).
ReceivedChartRequests read_chart_requests(net::PacketReader& in, uint16_t max_count);

// ---- bars: command 156, ChartHistoryHeader, bar_count bars in the connection's form ----

// The bars in the form, oldest first, with count set to how many there are. A bar whose
// differences don't fit the form (16 bits for the narrow one) is left out: its client
// couldn't read it.
std::vector<uint8_t> encode_wire_bars(std::span<const PointBar> bars, BarForm form, int32_t& count);

// Appends the push: the header, its bar_count set to the bars encoded, and the bars.
void put_chart_history(net::OutputBuffer& out, ChartHistoryHeader header, std::span<const PointBar> bars,
                       BarForm form);

struct ReceivedChartHistory {
    ChartHistoryHeader header{};             // byte 11 of the symbol forced to NUL
    std::vector<WireBar28> bars28;           // filled for the wide form
    std::vector<WireBar22> bars22;           // filled for the narrow form
};

// Reads the header and its bars in the form. Nothing when a read fails, or when the bar
// count lies outside 0..kMaxChartHistoryBars (the reader is closed then, as the bars can't
// be skipped).
std::optional<ReceivedChartHistory> read_chart_history(net::PacketReader& in, BarForm form);

}  // namespace kb::market
