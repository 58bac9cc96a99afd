#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "chart/model/chart_settings.h"

namespace kb::chart {

struct Point {
    int x = 0;
    int y = 0;
    bool operator==(const Point&) const = default;
};

// A straight line from one point to another, both included.
struct Segment {
    Point from;
    Point to;
};

// Pen styles as profiles and indicator blocks store them.
enum class PenStyle : int32_t { Solid = 0, Dash = 1, Dot = 2, DashDot = 3, DashDotDot = 4 };

// A pen as the drawing code asks for it: style code, width in pixels (0 draws one pixel
// wide, as 1 does) and colour 0x00BBGGRR.
struct Pen {
    int32_t style = 0;
    int32_t width = 1;
    Colour colour = 0;
    bool operator==(const Pen&) const = default;
};

// A font: the face the canvas draws with (already resolved to an installed family),
// the size in tenths of a point and the character height in pixels it was made for.
struct Font {
    std::string face;
    int size = 70;          // tenths of a point
    int pixel_height = 9;   // size x vertical DPI / 720
    bool operator==(const Font&) const = default;
};

// Whether a text's box is filled before the text is drawn.
enum class TextBackground { Transparent, Opaque };

struct TextStyle {
    Colour colour = 0;
    TextBackground background = TextBackground::Transparent;
    Colour background_colour = 0;
};

struct TextSize {
    int width = 0;
    int height = 0;
};

// The drawing surface chart rendering paints on, in device pixels with y growing down.
// Lines include both end points; rectangles cover left..right-1 by top..bottom-1.
// Implemented with QPainter in the user interface and by a recorder in the tests.
// One thread at a time (the painting thread).
class Canvas {
public:
    virtual ~Canvas() = default;

    virtual void fill_rect(const Rect& rect, Colour colour) = 0;
    virtual void line(Point from, Point to, const Pen& pen) = 0;
    virtual void polyline(std::span<const Point> points, const Pen& pen) = 0;
    // Many lines or filled rectangles of one pen or colour: the same as one call each, for
    // canvases that draw batches faster.
    virtual void lines(std::span<const Segment> segments, const Pen& pen) {
        for (const Segment& segment : segments) line(segment.from, segment.to, pen);
    }
    virtual void fill_rects(std::span<const Rect> rects, Colour colour) {
        for (const Rect& rect : rects) fill_rect(rect, colour);
    }
    // Outlines only, with the pen.
    virtual void outline_rects(std::span<const Rect> rects, const Pen& pen) {
        for (const Rect& r : rects) {
            const Segment sides[] = {{{r.left, r.top}, {r.right - 1, r.top}},
                                     {{r.right - 1, r.top}, {r.right - 1, r.bottom - 1}},
                                     {{r.right - 1, r.bottom - 1}, {r.left, r.bottom - 1}},
                                     {{r.left, r.bottom - 1}, {r.left, r.top}}};
            lines(sides, pen);
        }
    }
    // The rectangle filled with fill, then outlined with the pen.
    virtual void rectangle(const Rect& rect, const Pen& outline, Colour fill) = 0;
    // Text with its box's top left corner at at; an opaque background fills the box first.
    virtual void text(Point at, std::string_view text, const Font& font, const TextStyle& style) = 0;
    virtual TextSize measure(std::string_view text, const Font& font) = 0;
    // Limits drawing to rect until clear_clip().
    virtual void set_clip(const Rect& rect) = 0;
    virtual void clear_clip() = 0;
};

// Which font families exist, for the pen collector's fonts.
class FontFamilies {
public:
    virtual ~FontFamilies() = default;
    // The family to draw face with: face itself when installed, otherwise a stand-in of
    // similar use; nothing when no font at all can be made.
    virtual std::optional<std::string> resolve(std::string_view face) = 0;
};

}  // namespace kb::chart
