#include "chart/framework/indicator.h"

#include <algorithm>
#include <cstdio>

#include "chart/framework/indicator_block.h"
#include "chart/framework/key_lines.h"
#include "chart/indicators/recalculation.h"
#include "chart/objects/object_block.h"
#include "core/journal.h"
#include "core/settings_store.h"
#include "core/utf8_cut.h"

namespace kb::chart {
namespace {

// The key suffix of a line: "" for the main line, "2" .. "5" for the others.
std::string line_suffix(int line) {
    return line == 0 ? std::string() : std::to_string(line + 1);
}

std::string settings_name(std::string_view indicator, std::string_view value) {
    std::string name(indicator);
    name += '_';
    name += value;
    return name;
}

}  // namespace

CInd::CInd(const IndicatorTraits& traits, const IndicatorDefaults& defaults)
    : traits_(traits),
      defaults_(defaults),
      apply_(defaults.apply),
      period_(defaults.period),
      lines_(defaults.lines),
      level_style_(defaults.level_style),
      fixed_minimum_(defaults.fixed_minimum),
      fixed_maximum_(defaults.fixed_maximum),
      buffers_(traits.buffers) {
    level_count_ = std::min(static_cast<int>(defaults.levels.size()), kMaxLevels);
    for (int i = 0; i < level_count_; ++i) levels_[i].value = defaults.levels[i];
}

// ---- profile block ----

void CInd::load_block(LineSource& lines, core::Journal* journal) {
    fixed_minimum_.reset();
    fixed_maximum_.reset();
    level_count_ = 0;
    levels_ = {};
    std::string line;
    while (lines.next_line(line)) {
        if (line == kIndicatorBlockEnd) break;
        if (line == kObjectBlockStart) {
            if (std::unique_ptr<CObj> object = read_object_block(lines, journal)) attach_object(std::move(object));
            continue;
        }
        parse_line(line);
    }
    finish_load();
    rebuild_label();
}

bool CInd::parse_line(std::string_view line) {
    int number = 0;
    if (read_integer_key(line, "period=", number)) {
        period_ = number <= 0 || number > kMaxPeriod ? kDefaultPeriod : number;
        return true;
    }
    if (read_integer_key(line, "apply=", apply_)) return true;
    if (parse_line_style(line, 0, 1)) return true;

    double value = 0;
    if (auto read = read_number_key(line, "min=", value); read != NumberKey::NoMatch) {
        if (read == NumberKey::Read) fixed_minimum_ = value;
        return true;
    }
    if (auto read = read_number_key(line, "max=", value); read != NumberKey::NoMatch) {
        if (read == NumberKey::Read) fixed_maximum_ = value;
        return true;
    }
    if (read_integer_key(line, "levels_color=", level_style_.color)) return true;
    if (read_integer_key(line, "levels_style=", level_style_.style)) return true;
    if (read_integer_key(line, "levels_weight=", level_style_.weight)) return true;

    int index = 0;
    std::string_view text;
    if (read_numbered_key(line, "level_", index, text)) {
        if (index >= 0 && index < kMaxLevels && read_number_text(text, value) == NumberKey::Read) {
            levels_[index].value = value;
            level_count_ = std::max(level_count_, index + 1);
        }
        return true;
    }
    if (read_numbered_key(line, "description_", index, text)) {
        if (index >= 0 && index < kMaxLevels)
            levels_[index].description = std::string(core::cut_utf8(text, kLevelDescriptionBytes));
        return true;
    }
    return read_integer_key(line, "period_flags=", period_flags_);
}

void CInd::save_block(LineSink& sink) const {
    sink.write_line(kIndicatorBlockStart);
    std::string name("name=");
    name += registry_name();
    sink.write_line(name);
    save_parameters(sink);
    if (fixed_minimum_) sink.write_line(fixed_line("min=", *fixed_minimum_, 6));
    if (fixed_maximum_) sink.write_line(fixed_line("max=", *fixed_maximum_, 6));
    if (level_count_ > 0) {
        sink.write_line(integer_line("levels_color=", level_style_.color));
        sink.write_line(integer_line("levels_style=", level_style_.style));
        sink.write_line(integer_line("levels_weight=", level_style_.weight));
        for (int i = 0; i < level_count_; ++i) {
            sink.write_line(fixed_line("level_" + std::to_string(i) + "=", levels_[i].value, 4));
            if (!levels_[i].description.empty())
                sink.write_line("description_" + std::to_string(i) + "=" + levels_[i].description);
        }
    }
    if (type() != IndicatorType::Main) sink.write_line(integer_line("period_flags=", period_flags_));
    for (const std::unique_ptr<CObj>& object : objects_) object->write_block(sink);
    sink.write_line(kIndicatorBlockEnd);
}

std::vector<std::string> CInd::parameter_lines() const {
    struct VectorSink final : LineSink {
        std::vector<std::string> lines;
        void write_line(std::string_view line) override { lines.emplace_back(line); }
    } sink;
    save_parameters(sink);
    return std::move(sink.lines);
}

bool CInd::apply_parameter_lines(std::span<const std::string> lines) {
    bool all_known = true;
    for (const std::string& line : lines) all_known = parse_line(line) && all_known;
    finish_load();
    rebuild_label();
    return all_known;
}

void CInd::save_line_style(LineSink& sink, int line) const {
    const std::string suffix = line_suffix(line) + "=";
    sink.write_line(integer_line("color" + suffix, lines_[line].color));
    sink.write_line(integer_line("style" + suffix, lines_[line].style));
    sink.write_line(integer_line("weight" + suffix, lines_[line].weight));
}

bool CInd::parse_line_style(std::string_view line, int first_line, int count) {
    for (int l = first_line; l < first_line + count && l < kMaxIndicatorLines; ++l) {
        const std::string suffix = line_suffix(l) + "=";
        if (read_integer_key(line, "color" + suffix, lines_[l].color)) return true;
        if (read_integer_key(line, "style" + suffix, lines_[l].style)) return true;
        if (read_integer_key(line, "weight" + suffix, lines_[l].weight)) return true;
    }
    return false;
}

// ---- chart objects ----

void CInd::attach_object(std::unique_ptr<CObj> object) {
    if (object) objects_.push_back(std::move(object));
}

CObj* CInd::find_object(int32_t counter) const {
    for (const std::unique_ptr<CObj>& object : objects_)
        if (object->counter() == counter) return object.get();
    return nullptr;
}

std::unique_ptr<CObj> CInd::detach_object(int32_t counter) {
    for (auto it = objects_.begin(); it != objects_.end(); ++it) {
        if ((*it)->counter() != counter) continue;
        std::unique_ptr<CObj> object = std::move(*it);
        objects_.erase(it);
        return object;
    }
    return nullptr;
}

void CInd::invalidate_object_positions() {
    for (const std::unique_ptr<CObj>& object : objects_) object->invalidate_positions();
}

// ---- identity and defaults ----

std::string CInd::build_label() const {
    if (traits_.label.find("%d") == std::string_view::npos) return std::string(traits_.label);
    char text[kLabelBytes + 1];
    const std::string format(traits_.label);
    std::snprintf(text, sizeof text, format.c_str(), period_);
    return text;
}

void CInd::rebuild_label() {
    label_ = std::string(core::cut_utf8(build_label(), kLabelBytes));
}

LineStyle CInd::default_line_style(int line) const {
    return line >= 0 && line < kMaxIndicatorLines ? defaults_.lines[line] : LineStyle{};
}

LineStyle CInd::line_style(int line) const {
    return line >= 0 && line < kMaxIndicatorLines ? lines_[line] : LineStyle{};
}

void CInd::set_line_style(int line, LineStyle style) {
    if (line >= 0 && line < kMaxIndicatorLines) lines_[line] = style;
}

void CInd::set_levels(std::vector<IndicatorLevel> levels) {
    levels_ = {};
    level_count_ = std::min(static_cast<int>(levels.size()), kMaxLevels);
    for (int i = 0; i < level_count_; ++i) {
        levels_[i].value = levels[i].value;
        levels_[i].description = std::string(core::cut_utf8(levels[i].description, kLevelDescriptionBytes));
    }
}

void CInd::load_defaults(const core::SettingsStore& store) {
    const std::string_view name = registry_name();
    auto number = [&](std::string_view value, int32_t fallback) {
        return store.read_number(core::kSectionIndicators, settings_name(name, value), fallback);
    };
    for (int l = 0; l < traits_.lines; ++l) {
        const std::string suffix = line_suffix(l);
        lines_[l].color = number("color" + suffix, defaults_.lines[l].color);
        lines_[l].style = number("style" + suffix, defaults_.lines[l].style);
        lines_[l].weight = number("weight" + suffix, defaults_.lines[l].weight);
    }
    period_ = number("period", defaults_.period);
    if (period_ <= 0 || period_ > kMaxPeriod) period_ = defaults_.period;
    apply_ = number("apply", defaults_.apply);
    if (apply_ > ind::kPriceWeighted) apply_ = ind::kPriceClose;

    level_style_.color = number("levelcolor", defaults_.level_style.color);
    level_style_.style = number("levelstyle", defaults_.level_style.style);
    level_style_.weight = number("levelweight", defaults_.level_style.weight);
    levels_ = {};
    level_count_ = std::clamp(number("levels", default_level_count()), 0, kMaxLevels);
    for (int i = 0; i < level_count_; ++i) {
        const double fallback = i < default_level_count() ? defaults_.levels[i] : 0.0;
        const std::string text =
            store.read_text(core::kSectionIndicators, settings_name(name, "level" + std::to_string(i)), "");
        double value = fallback;
        if (text.empty() || read_number_text(text, value) != NumberKey::Read) value = fallback;
        levels_[i].value = value;
        const std::string description = store.read_text(
            core::kSectionIndicators, settings_name(name, "description" + std::to_string(i)), "");
        levels_[i].description = std::string(core::cut_utf8(description, kLevelDescriptionBytes));
    }
    rebuild_label();
    reset_calculation();
}

bool CInd::equals(const CInd& other) const {
    return type() == other.type() && period_ == other.period_ && apply_ == other.apply_ &&
           apply_ != ind::kPricePreviousIndicator;
}

// ---- calculation ----

void CInd::reset_calculation() {
    computed_ = 0;
    history_version_ = -1;
    calculated_ = false;
}

void CInd::set_buffer_allocator(IndicatorBuffers::Allocate allocate) {
    buffers_ = IndicatorBuffers(traits_.buffers, allocate);
    reset_calculation();
}

std::span<double> CInd::output(int i) {
    std::span<double> all = buffers_.storage(i);
    return all.first(std::min(all.size(), static_cast<std::size_t>(bar_count_)));
}

ind::Calculation CInd::compute_on_bars(const ind::BarView&, int) { return ind::kNothing; }

ind::Calculation CInd::compute_on_data(std::span<const double>, int, int) { return ind::kNothing; }

void CInd::apply_digits_rule(int symbol_digits) {
    symbol_digits_ = symbol_digits < 0 ? kDefaultDigits : symbol_digits;
    switch (traits_.digits) {
    case DigitsRule::Fixed0: digits_ = 0; break;
    case DigitsRule::Fixed4: digits_ = 4; break;
    case DigitsRule::Symbol: digits_ = symbol_digits_; break;
    case DigitsRule::SymbolPlus1: digits_ = symbol_digits_ + 1; break;
    case DigitsRule::SymbolPlus2: digits_ = symbol_digits_ + 2; break;
    }
}

CalculationResult CInd::calculate_on_bars(const BarsUpdate& update) {
    if (apply_ == ind::kPricePreviousIndicator || apply_ == ind::kPriceFirstIndicator) {
        apply_ = ind::kPriceClose;
        reset_calculation();
    }
    return calculate(update, nullptr);
}

CalculationResult CInd::calculate_on_data(const BarsUpdate& update, const SourceData& source) {
    if (!accepts_data_input() ||
        (apply_ != ind::kPricePreviousIndicator && apply_ != ind::kPriceFirstIndicator))
        return CalculationResult::NotApplicable;
    return calculate(update, &source);
}

CalculationResult CInd::calculate(const BarsUpdate& update, const SourceData* source) {
    const int count = static_cast<int>(update.bars.size());
    const bool same_series = symbol_ == update.symbol && series_period_ == update.period;
    if (source && (source->origin != source_origin_ || source->generation != source_generation_)) {
        reset_calculation();
        source_origin_ = source->origin;
        source_generation_ = source->generation;
    }
    if (calculated_ && same_series && history_version_ == update.history_version)
        return CalculationResult::Unchanged;

    if (!same_series) {
        reset_calculation();
        symbol_ = std::string(update.symbol.substr(0, 11));
        series_period_ = update.period;
    }
    if (!visible_on(update.period)) {
        buffers_.release();
        reset_calculation();
        return CalculationResult::Hidden;
    }
    const bool has_source = source == nullptr || source->values.size() >= static_cast<std::size_t>(count);
    if (count <= 0 || update.symbol.empty() || update.period <= 0 || !has_source) {
        buffers_.release();
        computed_ = 0;
        history_version_ = update.history_version;
        calculated_ = true;
        return CalculationResult::Empty;
    }

    const auto kind = ind::decide_recalculation(calculated_ && computed_ > 0, computed_, history_version_, count,
                                                update.history_version);
    const int computed = ind::computed_count_for(kind, computed_);
    if (computed == 0) ++generation_;
    if (!buffers_.reserve(count, update.bar_capacity, computed > 0 ? KeepValues::Yes : KeepValues::No)) {
        if (update.journal) update.journal->write(core::Level::Fault, "Not enough memory for indicator!");
        reset_calculation();
        return CalculationResult::OutOfMemory;
    }
    apply_digits_rule(update.symbol_digits);
    bar_count_ = count;
    const ind::Calculation result =
        source ? compute_on_data(source->values.first(static_cast<std::size_t>(count)), source->draw_begin, computed)
               : compute_on_bars(ind::BarView::of(update.bars), computed);
    history_version_ = update.history_version;
    calculated_ = true;
    if (!result.calculated) {
        buffers_.set_used(0);
        computed_ = 0;
        return CalculationResult::Empty;
    }
    if (source) digits_ = source->digits;
    buffers_.set_used(count);
    computed_ = count;
    draw_begin_ = result.draw_begin;
    draw_begin2_ = result.draw_begin2;
    return CalculationResult::Calculated;
}

}  // namespace kb::chart
