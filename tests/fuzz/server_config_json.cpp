// demo-server's configuration text. A refused text names its fault; an accepted one keeps
// every bound the server relies on when it builds records and prices from it.
#include <cmath>
#include <cstdint>
#include <string>

#include "server/server_config.h"
#include "tests/fuzz/fuzz_support.h"

using namespace kb;
using fuzzing::check;

namespace {

bool currency(const std::string& text) { return text.size() == 3; }

void check_config(const server::ServerConfig& config) {
    check(config.server.name.size() <= 63);
    check(config.symbol_groups.size() <= 32);
    check(!config.groups.empty() && !config.instruments.empty());
    for (const server::GroupConfig& group : config.groups) {
        check(!group.name.empty() && group.name.size() <= 15);
        check(currency(group.currency));
        check(group.requote_rate >= 0 && group.requote_rate <= 1);
        check(group.news >= 0 && group.news <= 2);
    }
    check(config.default_group.empty() || config.find_group(config.default_group) != nullptr);
    for (const server::InstrumentConfig& instrument : config.instruments) {
        check(!instrument.name.empty() && instrument.name.size() <= 11);
        check(instrument.description.size() <= 63);
        check(instrument.digits >= 0 && instrument.digits <= 8);
        check(std::isfinite(instrument.point) && instrument.point > 0);
        check(instrument.spread >= 1);
        check(std::isfinite(instrument.start_price) && instrument.start_price > 0);
        check(instrument.symbol_group >= 0 && instrument.symbol_group <= 31);
        check(currency(instrument.margin_currency) && currency(instrument.profit_currency));
        for (const market::DayQuoteHours& day : instrument.quote_hours)
            for (const market::QuoteWindow& window : day.windows)
                check(window.open_minute >= 0 && window.open_minute <= 1440 && window.close_minute >= 0 &&
                      window.close_minute <= 1440);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536) return 0;
    std::string error;
    const std::optional<server::ServerConfig> config =
        server::parse_server_config(std::string(reinterpret_cast<const char*>(data), size), error);
    if (config) check_config(*config);
    else check(!error.empty());
    return 0;
}
