#include "chart/framework/window_calculation.h"

namespace kb::chart {
namespace {

bool on_indicator_data(const CInd& indicator) {
    return indicator.accepts_data_input() && (indicator.apply() == ind::kPricePreviousIndicator ||
                                              indicator.apply() == ind::kPriceFirstIndicator);
}

bool holds_every_bar(const CInd& indicator, std::size_t bar_count) {
    return indicator.buffer(0).size() >= bar_count && bar_count > 0;
}

// Where an indicator on data takes it from.
struct SourceChoice {
    const CInd* source = nullptr;   // usable now
    bool can_serve = false;         // some candidate could serve, later
};

SourceChoice choose_source(std::span<CInd* const> indicators, std::size_t index, std::size_t bar_count) {
    const std::size_t first_real =
        !indicators.empty() && indicators[0]->type() == IndicatorType::Main ? 1 : 0;
    if (index == first_real) return {};
    if (indicators[index]->apply() == ind::kPricePreviousIndicator) {
        const CInd* previous = indicators[index - 1];
        if (!previous->can_serve_as_source()) return {};
        return {holds_every_bar(*previous, bar_count) ? previous : nullptr, true};
    }
    SourceChoice choice;
    for (std::size_t k = first_real; k < index; ++k) {
        const CInd* candidate = indicators[k];
        if (!candidate->can_serve_as_source()) continue;
        choice.can_serve = true;
        if (holds_every_bar(*candidate, bar_count)) {
            choice.source = candidate;
            break;
        }
    }
    return choice;
}

}  // namespace

void calculate_window(std::span<CInd* const> indicators, const BarsUpdate& update) {
    for (std::size_t i = 0; i < indicators.size(); ++i) {
        CInd& indicator = *indicators[i];
        if (!on_indicator_data(indicator)) {
            indicator.calculate_on_bars(update);
            continue;
        }
        const SourceChoice choice = choose_source(indicators, i, update.bars.size());
        if (choice.source) {
            indicator.calculate_on_data(update, {choice.source->buffer(0), choice.source->draw_begin(),
                                                 choice.source->digits(), choice.source,
                                                 choice.source->generation()});
        } else if (choice.can_serve) {
            // The source shows nothing now; the setting waits for it.
            indicator.calculate_on_data(update, {});
        } else {
            indicator.calculate_on_bars(update);   // takes close instead
        }
    }
}

}  // namespace kb::chart
