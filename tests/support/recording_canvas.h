#pragma once
#include <algorithm>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "chart/render/canvas.h"

namespace kb::testing {

// A canvas that keeps every drawing call, in order, with the clip in force. Texts measure
// 6 pixels per byte and the font's pixel height + 2, so positions are predictable.
class RecordingCanvas final : public chart::Canvas {
public:
    enum class Kind { Fill, Line, Polyline, Rectangle, Text };
    struct Call {
        Kind kind;
        chart::Rect rect;                  // Fill, Rectangle
        std::vector<chart::Point> points;  // Line (2), Polyline; Text: its top left
        chart::Pen pen;                    // Line, Polyline, Rectangle outline
        chart::Colour colour = 0;          // Fill, Rectangle fill, Text colour
        std::string text;
        chart::Font font;
        chart::TextStyle style;
        std::optional<chart::Rect> clip;
    };

    static constexpr int kCharWidth = 6;

    void fill_rect(const chart::Rect& rect, chart::Colour colour) override {
        calls.push_back({Kind::Fill, rect, {}, {}, colour, {}, {}, {}, clip_});
    }
    void line(chart::Point from, chart::Point to, const chart::Pen& pen) override {
        calls.push_back({Kind::Line, {}, {from, to}, pen, 0, {}, {}, {}, clip_});
    }
    void polyline(std::span<const chart::Point> points, const chart::Pen& pen) override {
        calls.push_back({Kind::Polyline, {}, {points.begin(), points.end()}, pen, 0, {}, {}, {}, clip_});
    }
    void rectangle(const chart::Rect& rect, const chart::Pen& outline, chart::Colour fill) override {
        calls.push_back({Kind::Rectangle, rect, {}, outline, fill, {}, {}, {}, clip_});
    }
    void text(chart::Point at, std::string_view text, const chart::Font& font, const chart::TextStyle& style) override {
        calls.push_back({Kind::Text, {}, {at}, {}, style.colour, std::string(text), font, style, clip_});
    }
    chart::TextSize measure(std::string_view text, const chart::Font& font) override {
        return {static_cast<int>(text.size()) * kCharWidth, font.pixel_height + 2};
    }
    void set_clip(const chart::Rect& rect) override { clip_ = rect; }
    void clear_clip() override { clip_.reset(); }

    std::vector<const Call*> of_kind(Kind kind) const {
        std::vector<const Call*> found;
        for (const Call& call : calls)
            if (call.kind == kind) found.push_back(&call);
        return found;
    }
    // Texts drawn, in order.
    std::vector<std::string> texts() const {
        std::vector<std::string> found;
        for (const Call* call : of_kind(Kind::Text)) found.push_back(call->text);
        return found;
    }
    const Call* text_call(std::string_view text) const {
        for (const Call& call : calls)
            if (call.kind == Kind::Text && call.text == text) return &call;
        return nullptr;
    }

    std::vector<Call> calls;

private:
    std::optional<chart::Rect> clip_;
};

// Font families where only the named faces are installed; others resolve to stand_in
// (nothing when it is empty).
class FixedFontFamilies final : public chart::FontFamilies {
public:
    explicit FixedFontFamilies(std::set<std::string> installed = {"Tahoma", "Impact"}, std::string stand_in = "Sans")
        : installed_(std::move(installed)), stand_in_(std::move(stand_in)) {}
    std::optional<std::string> resolve(std::string_view face) override {
        if (installed_.count(std::string(face))) return std::string(face);
        if (stand_in_.empty()) return std::nullopt;
        return stand_in_;
    }

private:
    std::set<std::string> installed_;
    std::string stand_in_;
};

}  // namespace kb::testing
