#include "chart/objects/fibo.h"

#include <algorithm>

#include "chart/framework/key_lines.h"
#include "core/number_format.h"
#include "core/settings_store.h"

namespace kb::chart {
namespace {

constexpr ObjectLook kFiboLook{.style = 1};
constexpr double kClassLevels[] = {0.0, 0.236, 0.382, 0.5, 0.618, 1.0, 1.618, 2.618, 4.236};
constexpr int kClassLevelCount = static_cast<int>(std::size(kClassLevels));

bool continuation_byte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// A description as it may be kept: cut, and on one line. Bytes that aren't UTF-8 could
// make one long "character": no more than four bytes a character are kept either.
std::string clean_description(std::string_view text) {
    std::string clean(cut_characters(text, kFiboDescriptionChars).substr(0, 4 * kFiboDescriptionChars));
    std::replace_if(clean.begin(), clean.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    return clean;
}

}  // namespace

std::string_view cut_characters(std::string_view text, std::size_t count) {
    std::size_t end = 0;
    for (std::size_t seen = 0; end < text.size(); ++seen) {
        if (seen == count) break;
        ++end;
        while (end < text.size() && continuation_byte(text[end])) ++end;
    }
    return text.substr(0, end);
}

Fibo::Fibo() : CObj(ObjectType::Fibo, kFiboLook) {
    level_count_ = kClassLevelCount;
    for (int i = 0; i < kClassLevelCount; ++i) levels_[i].value = kClassLevels[i];
}

bool Fibo::copy_from(const CObj& other) {
    if (!CObj::copy_from(other)) return false;
    const auto& fibo = static_cast<const Fibo&>(other);
    color2_ = fibo.color2_;
    style2_ = fibo.style2_;
    weight2_ = fibo.weight2_;
    levels_ray_ = fibo.levels_ray_;
    levels_ = fibo.levels_;
    level_count_ = fibo.level_count_;
    return true;
}

bool Fibo::set_property(ObjectProperty property, int32_t value) {
    switch (property) {
    case ObjectProperty::Color2: color2_ = value; return true;
    case ObjectProperty::Style2: style2_ = value; return true;
    case ObjectProperty::Weight2: weight2_ = value; return true;
    case ObjectProperty::LevelsRay: levels_ray_ = value; return true;
    default: return CObj::set_property(property, value);
    }
}

std::optional<int32_t> Fibo::property(ObjectProperty property) const {
    switch (property) {
    case ObjectProperty::Color2: return color2_;
    case ObjectProperty::Style2: return style2_;
    case ObjectProperty::Weight2: return weight2_;
    case ObjectProperty::LevelsRay: return levels_ray_;
    default: return CObj::property(property);
    }
}

// ---- profile block ----

void Fibo::read_block(LineSource& lines) {
    level_count_ = 0;
    CObj::read_block(lines);
}

bool Fibo::parse_line(std::string_view line) {
    if (line.substr(0, 4) == "ray=") return true;
    if (CObj::parse_line(line)) return true;
    if (read_integer_key(line, "color2=", color2_)) return true;
    if (read_integer_key(line, "style2=", style2_)) return true;
    if (read_integer_key(line, "weight2=", weight2_)) return true;
    if (read_integer_key(line, "levels_ray=", levels_ray_)) return true;
    int index = 0;
    std::string_view text;
    if (read_numbered_key(line, "level_", index, text)) {
        double value = 0;
        if (index >= 0 && index < kMaxFiboLevels && read_number_text(text, value) == NumberKey::Read) {
            levels_[index].value = value;
            level_count_ = std::max(level_count_, index + 1);
        }
        return true;
    }
    if (read_numbered_key(line, "description_", index, text)) {
        if (index >= 0 && index < kMaxFiboLevels) levels_[index].description = clean_description(text);
        return true;
    }
    return false;
}

void Fibo::write_tail(LineSink& sink) const {
    sink.write_line(integer_line("color2=", color2_));
    sink.write_line(integer_line("style2=", style2_));
    sink.write_line(integer_line("weight2=", weight2_));
    sink.write_line(integer_line("time_0=", times_[0]));
    sink.write_line(fixed_line("value_0=", values_[0], 6));
    sink.write_line(integer_line("time_1=", times_[1]));
    sink.write_line(fixed_line("value_1=", values_[1], 6));
    sink.write_line(integer_line("levels_ray=", levels_ray_));
    for (int i = 0; i < level_count_; ++i) {
        const std::string number = std::to_string(i);
        sink.write_line(fixed_line("level_" + number + "=", levels_[i].value, 4));
        if (!levels_[i].description.empty())
            sink.write_line("description_" + number + "=" + levels_[i].description);
    }
}

// ---- defaults ----

void Fibo::load_defaults(const core::SettingsStore& store) {
    CObj::load_defaults(store);
    levels_ray_ = ray_;
    ray_ = 0;
    auto number = [&](std::string_view value, int32_t fallback) {
        return store.read_number(core::kSectionObjects, settings_name(value), fallback);
    };
    color2_ = number("color2", 0xFFFF);
    style2_ = number("style2", 0);
    weight2_ = number("weight2", 1);
    constexpr int32_t kNoCount = -1;
    const int32_t count = number("levels", kNoCount);
    if (count == kNoCount) return;
    level_count_ = std::clamp(count, 0, kMaxFiboLevels);
    for (int i = 0; i < level_count_; ++i) {
        const std::string number_text = std::to_string(i);
        const std::string text = store.read_text(core::kSectionObjects, settings_name("level" + number_text), "");
        double value = i < kClassLevelCount ? kClassLevels[i] : 0.0;
        read_number_text(text, value);
        levels_[i].value = value;
        levels_[i].description =
            clean_description(store.read_text(core::kSectionObjects, settings_name("description" + number_text), ""));
    }
}

void Fibo::store_defaults(core::SettingsStore& store) const {
    CObj::store_defaults(store);
    store.write_number(core::kSectionObjects, settings_name("ray"), levels_ray_);
    store.write_number(core::kSectionObjects, settings_name("color2"), color2_);
    store.write_number(core::kSectionObjects, settings_name("style2"), style2_);
    store.write_number(core::kSectionObjects, settings_name("weight2"), weight2_);
    store.write_number(core::kSectionObjects, settings_name("levels"), level_count_);
    for (int i = 0; i < level_count_; ++i) {
        const std::string number_text = std::to_string(i);
        store.write_text(core::kSectionObjects, settings_name("level" + number_text),
                         core::trimmed_number_text(levels_[i].value, 6));
        store.write_text(core::kSectionObjects, settings_name("description" + number_text), levels_[i].description);
    }
}

// ---- levels ----

void Fibo::set_levels(std::span<const FiboLevel> levels) {
    levels_ = {};
    level_count_ = static_cast<int>(std::min<std::size_t>(levels.size(), kMaxFiboLevels));
    for (int i = 0; i < level_count_; ++i) {
        levels_[i].value = levels[i].value;
        levels_[i].description = clean_description(levels[i].description);
    }
}

double Fibo::level_price(int i) const {
    if (i < 0 || i >= level_count_) return 0;
    return values_[1] + (values_[0] - values_[1]) * levels_[i].value;
}

std::string Fibo::level_label(int i) const {
    if (i < 0 || i >= level_count_) return {};
    if (!levels_[i].description.empty()) return levels_[i].description;
    return core::fixed_text(levels_[i].value * 100, 1);
}

}  // namespace kb::chart
