#include "market/chart_packets.h"

#include <cstring>

#include "net/output_buffer.h"
#include "net/packet_reader.h"

namespace kb::market {

namespace {

template <class Wire>
void append(std::vector<uint8_t>& out, const Wire& wire) {
    const size_t at = out.size();
    out.resize(at + sizeof wire);
    std::memcpy(out.data() + at, &wire, sizeof wire);
}

template <class Wire>
bool read_bars(net::PacketReader& in, int32_t count, std::vector<Wire>& bars) {
    bars.resize(static_cast<size_t>(count));
    return count == 0 || in.read(bars.data(), bars.size() * sizeof(Wire));
}

}  // namespace

void put_chart_requests(net::OutputBuffer& out, std::span<const ChartRequest> requests) {
    if (requests.empty()) return;
    out.put_command(net::Command::ChartHistory);
    out.put_u16(static_cast<uint16_t>(requests.size()));
    for (const ChartRequest& request : requests) out.put_bytes(&request, sizeof request);
}

ReceivedChartRequests read_chart_requests(net::PacketReader& in, uint16_t max_count) {
    using Status = ReceivedChartRequests::Status;
    ReceivedChartRequests received;
    if (!in.read_u16(received.count)) return received;
    if (received.count > max_count) {
        received.status = Status::TooMany;
        return received;
    }
    received.requests.resize(received.count);
    if (received.count && !in.read(received.requests.data(), received.requests.size() * sizeof(ChartRequest))) {
        received.requests.clear();
        return received;
    }
    for (ChartRequest& request : received.requests) request.symbol[sizeof request.symbol - 1] = '\0';
    received.status = Status::Read;
    return received;
}

std::vector<uint8_t> encode_wire_bars(std::span<const PointBar> bars, BarForm form, int32_t& count) {
    std::vector<uint8_t> out;
    out.reserve(bars.size() * wire_bar_size(form));
    count = 0;
    for (const PointBar& bar : bars) {
        if (form == BarForm::Wide28) {
            std::optional<WireBar28> wire = wire_bar28_from(bar);
            if (!wire) continue;
            append(out, *wire);
        } else {
            std::optional<WireBar22> wire = wire_bar22_from(bar);
            if (!wire) continue;
            append(out, *wire);
        }
        ++count;
    }
    return out;
}

void put_chart_history(net::OutputBuffer& out, ChartHistoryHeader header, std::span<const PointBar> bars,
                       BarForm form) {
    int32_t count = 0;
    const std::vector<uint8_t> wire = encode_wire_bars(bars, form, count);
    header.bar_count = count;
    out.put_command(net::Command::ChartHistory);
    out.put_bytes(&header, sizeof header);
    out.put_bytes(wire.data(), wire.size());
}

std::optional<ReceivedChartHistory> read_chart_history(net::PacketReader& in, BarForm form) {
    ReceivedChartHistory received;
    ChartHistoryHeader& header = received.header;
    if (!in.read(&header, sizeof header)) return std::nullopt;
    header.symbol[sizeof header.symbol - 1] = '\0';
    const int32_t count = header.bar_count;
    if (count < 0 || count > kMaxChartHistoryBars) {
        in.close();
        return std::nullopt;
    }
    const bool complete =
        form == BarForm::Wide28 ? read_bars(in, count, received.bars28) : read_bars(in, count, received.bars22);
    if (!complete) return std::nullopt;
    return received;
}

}  // namespace kb::market
