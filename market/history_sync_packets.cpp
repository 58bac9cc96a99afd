#include "market/history_sync_packets.h"

#include <cstring>

#include "market/chart_packets.h"
#include "net/block_writer.h"
#include "net/compressed_block.h"
#include "net/output_buffer.h"
#include "net/packet_reader.h"

namespace kb::market {

namespace {

constexpr uint8_t kAnswerBars = net::code_byte(net::ReturnCode::Ok);
constexpr uint8_t kAnswerNothingNew = net::code_byte(net::ReturnCode::OkNoResult);

// The bars of a block whose size is a whole number of them.
template <class Wire>
bool bars_of(const net::CompressedBlock& block, std::vector<Wire>& bars) {
    if (block.status == net::BlockStatus::Empty) return true;
    if (block.size % sizeof(Wire) != 0) return false;
    bars.resize(block.size / sizeof(Wire));
    if (!bars.empty()) std::memcpy(bars.data(), block.bytes.get(), block.size);
    return true;
}

}  // namespace

void put_history_sync_request(net::OutputBuffer& out, const HistorySyncRequest& request) {
    out.put_command(net::Command::HistorySync);
    out.put_bytes(&request, sizeof request);
}

std::optional<HistorySyncRequest> read_history_sync_request(net::PacketReader& in) {
    HistorySyncRequest request{};
    if (!in.read(&request, sizeof request)) return std::nullopt;
    request.symbol[sizeof request.symbol - 1] = '\0';
    return request;
}

bool put_history_sync_bars(net::OutputBuffer& out, int32_t time_sign, std::span<const PointBar> bars, BarForm form) {
    int32_t count = 0;
    const std::vector<uint8_t> wire = encode_wire_bars(bars, form, count);
    out.put_byte(kAnswerBars);
    out.put_i32(time_sign);
    return net::put_compressed_block(out, wire);
}

HistorySyncAnswer read_history_sync_answer(net::PacketReader& in, BarForm form) {
    using Status = HistorySyncAnswer::Status;
    HistorySyncAnswer answer;
    const uint8_t code = in.read_byte();
    if (code == kAnswerNothingNew) answer.status = Status::NothingNew;
    if (code != kAnswerBars) return answer;
    if (!in.read_i32(answer.time_sign)) return answer;
    const net::CompressedBlock block = net::read_compressed(in, history_sync_limit(form));
    const bool whole = block.ok() && (form == BarForm::Wide28 ? bars_of(block, answer.bars28)
                                                               : bars_of(block, answer.bars22));
    if (!whole) {
        // Whatever follows a block that can't be read is lost.
        in.close();
        answer.status = Status::Unreadable;
        return answer;
    }
    answer.status = Status::Bars;
    return answer;
}

}  // namespace kb::market
