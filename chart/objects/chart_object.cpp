#include "chart/objects/chart_object.h"

#include <algorithm>

#include "chart/framework/key_lines.h"
#include "chart/objects/object_block.h"
#include "chart/objects/object_counter.h"
#include "core/settings_store.h"
#include "core/utf8_cut.h"

namespace kb::chart {
namespace {

bool valid_anchor(int i) { return i >= 0 && i < kObjectAnchors; }

}  // namespace

int32_t normalized_angle(int32_t angle) {
    const int32_t rest = angle % kFullAngle;
    return rest < 0 ? rest + kFullAngle : rest;
}

CObj::CObj(ObjectType type, const ObjectLook& look)
    : type_(type),
      class_look_(look),
      color_(look.color),
      style_(look.style),
      weight_(look.weight),
      ray_(look.ray) {}

bool CObj::copy_from(const CObj& other) {
    if (other.type_ != type_) return false;
    counter_ = other.counter_;
    period_flags_ = other.period_flags_;
    symbol_ = other.symbol_;
    period_ = other.period_;
    times_ = other.times_;
    values_ = other.values_;
    color_ = other.color_;
    style_ = other.style_;
    weight_ = other.weight_;
    ray_ = other.ray_;
    ellipse_ = other.ellipse_;
    scale_ = other.scale_;
    angle_ = other.angle_;
    background_ = other.background_;
    create_time_ = other.create_time_;
    invalidate_positions();
    return true;
}

bool CObj::set_property(ObjectProperty property, int32_t value) {
    switch (property) {
    case ObjectProperty::Color: color_ = value; return true;
    case ObjectProperty::Style: style_ = value; return true;
    case ObjectProperty::Weight: weight_ = value; return true;
    case ObjectProperty::Ray: ray_ = value; return true;
    case ObjectProperty::Background: background_ = value; return true;
    case ObjectProperty::PeriodFlags: period_flags_ = value; return true;
    case ObjectProperty::Ellipse: ellipse_ = value; return true;
    case ObjectProperty::Scale: scale_ = value; return true;
    case ObjectProperty::Angle: angle_ = normalized_angle(value); return true;
    default: return false;
    }
}

std::optional<int32_t> CObj::property(ObjectProperty property) const {
    switch (property) {
    case ObjectProperty::Color: return color_;
    case ObjectProperty::Style: return style_;
    case ObjectProperty::Weight: return weight_;
    case ObjectProperty::Ray: return ray_;
    case ObjectProperty::Background: return background_;
    case ObjectProperty::PeriodFlags: return period_flags_;
    case ObjectProperty::Ellipse: return ellipse_;
    case ObjectProperty::Scale: return scale_;
    case ObjectProperty::Angle: return angle_;
    default: return std::nullopt;
    }
}

// ---- profile block ----

void CObj::read_block(LineSource& lines) {
    std::string line;
    while (lines.next_line(line)) {
        if (line == kObjectBlockEnd) break;
        parse_line(line);
    }
    invalidate_positions();
}

bool CObj::parse_line(std::string_view line) {
    static constexpr std::string_view kSymbol = "symbol=";
    if (line.substr(0, kSymbol.size()) == kSymbol) {
        // A symbol name holds no control bytes; a carriage return would not survive the
        // next save and load, as the reader drops one before each line end.
        std::string_view name = line.substr(kSymbol.size());
        name = name.substr(0, std::find_if(name.begin(), name.end(), [](char c) {
                                  return static_cast<unsigned char>(c) < 0x20;
                              }) - name.begin());
        symbol_ = std::string(core::cut_utf8(name, kObjectSymbolBytes));
        return true;
    }
    if (read_integer_key(line, "counter=", counter_)) {
        raise_object_counter(counter_);
        return true;
    }
    struct IntegerKey {
        std::string_view key;
        int32_t CObj::*field;
    };
    static constexpr IntegerKey kIntegers[] = {
        {"period=", &CObj::period_},       {"period_flags=", &CObj::period_flags_},
        {"create_time=", &CObj::create_time_}, {"color=", &CObj::color_},
        {"style=", &CObj::style_},         {"weight=", &CObj::weight_},
        {"ray=", &CObj::ray_},             {"ellipse=", &CObj::ellipse_},
        {"background=", &CObj::background_}, {"scale=", &CObj::scale_},
    };
    for (const IntegerKey& key : kIntegers)
        if (read_integer_key(line, key.key, this->*key.field)) return true;
    for (int i = 0; i < kObjectAnchors; ++i) {
        const std::string index = std::to_string(i) + "=";
        if (read_integer_key(line, "time_" + index, times_[i])) return true;
        double value = 0;
        if (auto read = read_number_key(line, "value_" + index, value); read != NumberKey::NoMatch) {
            if (read == NumberKey::Read) values_[i] = value;
            return true;
        }
    }
    int angle = 0;
    if (read_integer_key(line, "angle=", angle)) {
        angle_ = normalized_angle(angle);
        return true;
    }
    return false;
}

void CObj::write_block(LineSink& sink) const {
    if (anchor_count() == 2 && times_[0] == times_[1] && values_[0] == values_[1]) return;
    sink.write_line(kObjectBlockStart);
    sink.write_line(integer_line("type=", static_cast<int32_t>(type_)));
    sink.write_line(integer_line("counter=", counter_));
    sink.write_line(integer_line("period_flags=", period_flags_));
    sink.write_line(integer_line("create_time=", create_time_));
    sink.write_line(integer_line("period=", period_));
    sink.write_line("symbol=" + symbol_);
    sink.write_line(integer_line("color=", color_));
    sink.write_line(integer_line("style=", style_));
    sink.write_line(integer_line("weight=", weight_));
    sink.write_line(integer_line("background=", background_));
    write_tail(sink);
    sink.write_line(kObjectBlockEnd);
}

// ---- defaults ----

std::string CObj::settings_name(std::string_view value) const {
    std::string text(name());
    text += '_';
    text += value;
    return text;
}

void CObj::load_defaults(const core::SettingsStore& store) {
    auto number = [&](std::string_view value, int32_t fallback) {
        return store.read_number(core::kSectionObjects, settings_name(value), fallback);
    };
    color_ = number("color", class_look_.color);
    style_ = number("style", class_look_.style);
    weight_ = number("weight", 1);
    ray_ = number("ray", class_look_.ray);
    background_ = number("background_", 0);
}

void CObj::store_defaults(core::SettingsStore& store) const {
    store.write_number(core::kSectionObjects, settings_name("color"), color_);
    store.write_number(core::kSectionObjects, settings_name("style"), style_);
    store.write_number(core::kSectionObjects, settings_name("weight"), weight_);
    store.write_number(core::kSectionObjects, settings_name("ray"), ray_);
    store.write_number(core::kSectionObjects, settings_name("background_"), background_);
}

void CObj::place(const Placement& placement, const core::SettingsStore& store) {
    symbol_ = std::string(core::cut_utf8(placement.symbol, kObjectSymbolBytes));
    period_ = placement.period;
    for (int i = 0; i < kObjectAnchors; ++i) {
        times_[i] = placement.time;
        values_[i] = placement.price;
    }
    invalidate_positions();
    load_defaults(store);
    counter_ = next_object_counter();
    create_time_ = placement.create_time;
}

// ---- fields ----

int32_t CObj::time(int i) const { return valid_anchor(i) ? times_[i] : 0; }

double CObj::value(int i) const { return valid_anchor(i) ? values_[i] : 0.0; }

void CObj::set_anchor(int i, int32_t time, double value) {
    if (!valid_anchor(i)) return;
    times_[i] = time;
    values_[i] = value;
    invalidate_positions();
}

bool CObj::visible_on(int period_minutes) const { return visible_on_period(period_flags_, period_minutes); }

const std::array<int, kObjectAnchors>& CObj::positions(const BarTimeline& timeline) const {
    const TimelineKey key = timeline.key();
    if (cached_key_ != key) {
        for (int i = 0; i < kObjectAnchors; ++i) cached_positions_[i] = timeline.position_of(times_[i]);
        cached_key_ = key;
    }
    return cached_positions_;
}

}  // namespace kb::chart
