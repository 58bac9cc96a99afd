#include <set>
#include <vector>

#include "market/quote_packets.h"
#include "server/client_session.h"
#include "server/session_commands.h"

namespace kb::server {

HandlerResult handle_subscription(ClientSession& session) {
    const std::optional<std::vector<uint16_t>> indexes = market::read_subscription(session.stream());
    if (!indexes) return HandlerResult::Close;
    QuoteFeed& feed = session.context().feed;
    std::set<int> instruments;
    std::vector<Tick> current;
    for (uint16_t index : *indexes) {
        if (index >= feed.instruments().size() || !instruments.insert(index).second) continue;
        const InstrumentQuote quote = feed.quote(index);
        if (quote.time != 0) current.push_back(Tick{index, quote.time, quote.bid, quote.ask, quote.time * 1000});
    }
    session.set_subscription(instruments);
    // A new subscriber shouldn't wait for the next tick to see a price.
    session.on_ticks(current);
    return HandlerResult::Continue;
}

}  // namespace kb::server
