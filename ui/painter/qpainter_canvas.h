#pragma once
#include <QFont>
#include <QPainter>
#include <QStaticText>
#include <unordered_map>
#include <optional>
#include <string>
#include <vector>

#include "chart/render/canvas.h"

namespace kb::ui {

// A text laid out in a font, with the width and height the canvas measures it by.
struct LaidOutText {
    QStaticText text;
    int advance = 0;
    int height = 0;
};

// Texts laid out and measured once and kept between frames: axis prices, times and labels
// repeat from one frame to the next, and laying a text out costs more than drawing it.
// Holds at most kMaxTexts texts (all dropped when full). Thread of the painter only.
class TextCache {
public:
    static constexpr size_t kMaxTexts = 1024;
    // font_key tells fonts apart (QFont::key(), which the caller keeps per font, since
    // making it costs more than the lookup).
    const LaidOutText& get(std::string_view text, const QFont& font, const std::string& font_key);

private:
    std::unordered_map<std::string, LaidOutText> texts_;
    std::string key_;   // reused for lookups
};

// The chart canvas on a QPainter: pixel-exact (no antialiasing), colours 0x00BBGGRR,
// pen styles 0 solid, 1 dash, 2 dot, 3 dash-dot, 4 dash-dot-dot. The painter must be
// active for the canvas's life, and its transform, clip and composition are the canvas's
// own meanwhile. On a 32-bit image painted without transform, clip, opacity or other
// composition, solid rectangles are written straight into the image's pixels (the same
// pixels the painter would fill, without its per-call cost). Thread of the painter only.
class QPainterCanvas final : public chart::Canvas {
public:
    // texts, when given, keeps laid-out texts between frames; it must outlive the canvas.
    explicit QPainterCanvas(QPainter& painter, TextCache* texts = nullptr);

    void fill_rect(const chart::Rect& rect, chart::Colour colour) override;
    void line(chart::Point from, chart::Point to, const chart::Pen& pen) override;
    void polyline(std::span<const chart::Point> points, const chart::Pen& pen) override;
    void rectangle(const chart::Rect& rect, const chart::Pen& outline, chart::Colour fill) override;
    void lines(std::span<const chart::Segment> segments, const chart::Pen& pen) override;
    void fill_rects(std::span<const chart::Rect> rects, chart::Colour colour) override;
    void text(chart::Point at, std::string_view text, const chart::Font& font, const chart::TextStyle& style) override;
    chart::TextSize measure(std::string_view text, const chart::Font& font) override;
    void set_clip(const chart::Rect& rect) override;
    void clear_clip() override;

private:
    const QFont& qt_font(const chart::Font& font);
    void use_pen(const chart::Pen& pen);
    // Fills rect (clipped) in one colour: straight into the image when it can, else through
    // the painter.
    void fill(const QRect& rect, chart::Colour colour);

    // The image's pixels when solid fills may bypass the painter, else null.
    uchar* pixels_ = nullptr;
    qsizetype bytes_per_line_ = 0;
    QRect bounds_;   // the image, narrowed by the clip
    QRect image_rect_;

    QPainter& painter_;
    TextCache* texts_;
    chart::Font last_font_;
    QFont last_qt_font_;
    std::string last_font_key_;
    bool has_font_ = false;
    std::optional<chart::Pen> last_pen_;
    std::vector<QLine> qlines_;   // reused by the batches
    std::vector<QRect> qrects_;
};

// Font families from Qt's font database (a QGuiApplication must exist). Faces that are
// not installed get a stand-in: "Tahoma" a plain sans-serif, "Impact" a condensed one,
// anything else the system's general font.
class QtFontFamilies final : public chart::FontFamilies {
public:
    std::optional<std::string> resolve(std::string_view face) override;
};

QColor to_qcolor(chart::Colour colour);

}  // namespace kb::ui
