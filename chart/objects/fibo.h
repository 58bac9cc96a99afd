#pragma once
#include <span>
#include <string>
#include <vector>

#include "chart/objects/chart_object.h"

namespace kb::chart {

inline constexpr int kMaxFiboLevels = 32;
// Descriptions keep at most this many characters (UTF-8 code points).
inline constexpr std::size_t kFiboDescriptionChars = 31;

struct FiboLevel {
    double value = 0;          // 0.618 is the 61.8% retracement
    std::string description;   // UTF-8, at most kFiboDescriptionChars characters
    bool operator==(const FiboLevel&) const = default;
};

// A Fibonacci retracement between two anchors: level lines at the prices
// value_1 + (value_0 - value_1) x level, drawn in their own look (color2, style2, weight2)
// and going on to the right while the levels-ray flag is set. A new one has style 1,
// color2 0xFFFF, style2 0, weight2 1, no levels ray and the nine levels 0, 0.236, 0.382,
// 0.5, 0.618, 1, 1.618, 2.618, 4.236 without descriptions.
// A block sets its levels afresh: it starts with none in use, and each "level_N=" line
// (N 0..31) puts level N in use with all below it, which keep the values they had.
class Fibo final : public CObj {
public:
    static constexpr std::string_view kName = "Fibo";
    Fibo();
    std::string_view name() const override { return kName; }
    int anchor_count() const override { return 2; }
    AnchorUse anchor_use() const override { return AnchorUse::TimeAndPrice; }
    std::unique_ptr<CObj> clone() const override { return std::unique_ptr<CObj>(new Fibo(*this)); }
    bool copy_from(const CObj& other) override;

    bool set_property(ObjectProperty property, int32_t value) override;
    std::optional<int32_t> property(ObjectProperty property) const override;

    void read_block(LineSource& lines) override;
    // "ray=" is read and ignored (the level lines have their own flag); then the common
    // keys; then "color2=", "style2=", "weight2=", "levels_ray=", "level_N=" and
    // "description_N=" (N 0..31; other numbers are ignored).
    bool parse_line(std::string_view line) override;

    // The common values, then "<name>_ray" as the levels-ray flag (the ray itself stays
    // 0), "<name>_color2", "<name>_style2" (default 0), "<name>_weight2" (default 1),
    // "<name>_levels" (the count), "<name>_level%d" (the value as text) and
    // "<name>_description%d". While the store holds no level count, the class's nine
    // levels stay.
    void load_defaults(const core::SettingsStore& store) override;
    // Writes the same values; each level as "%.6lf" text without trailing zeros and point.
    void store_defaults(core::SettingsStore& store) const override;

    // The levels in use.
    std::span<const FiboLevel> levels() const { return {levels_.data(), static_cast<std::size_t>(level_count_)}; }
    // Replaces the levels: at most 32 are kept, descriptions cut to 31 characters with
    // line breaks turned into blanks (the profile is line based).
    void set_levels(std::span<const FiboLevel> levels);
    // The price of level i's line; 0 for a level not in use.
    double level_price(int i) const;
    // The text beside level i's line: its description, or the level in percent with one
    // decimal ("61.8"); empty for a level not in use.
    std::string level_label(int i) const;

protected:
    void write_tail(LineSink& sink) const override;

private:
    Fibo(const Fibo&) = default;

    int32_t color2_ = 0xFFFF;
    int32_t style2_ = 0;
    int32_t weight2_ = 1;
    int32_t levels_ray_ = 0;
    // All 32 slots: a block may describe a level before it puts it in use.
    std::array<FiboLevel, kMaxFiboLevels> levels_{};
    int level_count_ = 0;
};

// The prefix of text of at most count characters (UTF-8 code points).
std::string_view cut_characters(std::string_view text, std::size_t count);

}  // namespace kb::chart
