#include "market/bar_form.h"

#include "market/bar_record.h"

namespace kb::market {

BarForm bar_form(BarSource source, int server_build) {
    const int wide_from = source == BarSource::HistoryServer ? kHistoryServerWideBarsBuild : kTradeServerWideBarsBuild;
    return server_build >= wide_from ? BarForm::Wide28 : BarForm::Narrow22;
}

BarForm chart_push_form(BarSource source, int server_build, int account_data_version) {
    if (source == BarSource::TradeServer) return bar_form(source, server_build);
    return account_data_version > kHistoryServerLastNarrowPushVersion ? BarForm::Wide28 : BarForm::Narrow22;
}

size_t wire_bar_size(BarForm form) { return form == BarForm::Wide28 ? sizeof(WireBar28) : sizeof(WireBar22); }

}  // namespace kb::market
