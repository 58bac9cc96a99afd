// Seeds cut from the trade door's pushes: the readers below the session see the records
// of the packets, so the seeds hold them in the shapes the targets take.
#include <cstdio>
#include <cstring>

#include "market/symbol_record.h"
#include "net/compressed_block.h"
#include "net/protocol.h"
#include "messaging/news_header_packet.h"
#include "tests/fuzz/seeds/seed_sets.h"
#include "tests/support/fed_stream.h"
#include "trade/trade_record.h"

namespace kb::fuzzing::seeds {

namespace {

constexpr size_t kBlockLimit = 1048576;
// Ticks kept in a seed: enough to move bars and trades, few enough to stay small.
constexpr size_t kQuoteSeedLimit = 4096;
// The most records one head byte of the trade transaction target counts.
constexpr size_t kMaxRecordsPerHead = 127;

Bytes block_bytes(net::PacketStream& stream) {
    const net::CompressedBlock block = net::read_compressed(stream, kBlockLimit);
    if (!block.ok() || block.size == 0) return {};
    return Bytes(block.bytes.get(), block.bytes.get() + block.size);
}

// Records in runs of at most 127 behind a head byte: the count shifted left, the low bit
// telling ticks (1) from transactions (0).
void append_run(Bytes& run, const Bytes& records, size_t record_size, uint8_t kind_bit) {
    for (size_t first = 0; first < records.size(); first += kMaxRecordsPerHead * record_size) {
        const size_t count = std::min(kMaxRecordsPerHead, (records.size() - first) / record_size);
        run.push_back(static_cast<uint8_t>(count << 1 | kind_bit));
        run.insert(run.end(), records.begin() + static_cast<std::ptrdiff_t>(first),
                   records.begin() + static_cast<std::ptrdiff_t>(first + count * record_size));
    }
}

}  // namespace

void record_pushes(const Bytes& pushes) {
    net::PacketStream stream(nullptr, platform::system_clock());
    if (!testing::feed_stream(stream, pushes, {}, testing::Prescramble::Yes)) {
        std::fprintf(stderr, "%zu bytes of pushes are more than a socket pair holds\n", pushes.size());
        std::exit(1);
    }
    Bytes quotes;           // market_quotes: a count byte and the ticks, again and again
    Bytes trade_run;        // trade_transactions: transactions and ticks as they came
    Bytes symbol_updates;   // the records of command 154
    Bytes group_settings;   // the records of command 171
    size_t transactions = 0;
    uint8_t command = 0;
    while (stream.read(&command, 1)) {
        switch (static_cast<net::Command>(command)) {
            case net::Command::KeepAlive: continue;
            case net::Command::Quotes: {
                uint8_t count = 0;
                Bytes ticks;
                if (stream.read(&count, 1)) ticks.resize(count * sizeof(market::TickRecord));
                if (!stream.read(ticks.data(), ticks.size())) break;
                if (quotes.size() + 1 + ticks.size() <= kQuoteSeedLimit) {
                    quotes.push_back(count);
                    quotes.insert(quotes.end(), ticks.begin(), ticks.end());
                }
                if (trade_run.size() + ticks.size() <= kQuoteSeedLimit)
                    append_run(trade_run, ticks, sizeof(market::TickRecord), 1);
                continue;
            }
            case net::Command::TradeUpdates: {
                const Bytes records = block_bytes(stream);
                transactions += records.size() / sizeof(trade::TradeTransaction);
                append_run(trade_run, records, sizeof(trade::TradeTransaction), 0);
                continue;
            }
            case net::Command::SymbolUpdates: symbol_updates = block_bytes(stream); continue;
            case net::Command::GroupSettings: group_settings = block_bytes(stream); continue;
            case net::Command::NewsHeader:
                if (messaging::read_news_header(stream)) continue;
                break;
            case net::Command::MailMessage: block_bytes(stream); continue;
            default: std::fprintf(stderr, "pushed command %d not read: the pushes after it are left out\n", command);
        }
        break;
    }
    if (quotes.empty() || transactions == 0 || symbol_updates.empty() || group_settings.empty()) {
        std::fprintf(stderr, "pushes missing: %zu quote bytes, %zu transactions, %zu update bytes, %zu group bytes\n",
                     quotes.size(), transactions, symbol_updates.size(), group_settings.size());
        std::exit(1);
    }
    write_seed("market_quotes", "demo_quotes", quotes);
    write_seed("trade_transactions", "deal_and_quotes", trade_run);
    // Mode 0: symbol updates laid from offset 0 over the target's two entries.
    write_seed("market_symbol_updates", "instrument_change",
               joined({{0, 0, 0}, slice(symbol_updates, 0, 2 * sizeof(market::SymbolUpdateRecord))}));
    // Mode 1: the group's settings as they came, transaction type and name included.
    write_seed("market_symbol_updates", "group_change",
               joined({{1, 0, 0}, slice(group_settings, 0, sizeof(market::GroupUpdateRecord))}));
}

}  // namespace kb::fuzzing::seeds
