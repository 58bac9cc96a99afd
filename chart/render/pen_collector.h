#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "chart/render/canvas.h"

namespace kb::core {
class Journal;
}
namespace kb::platform {
class Clock;
}

namespace kb::chart {

// Code pages whose texts are drawn one point larger (Chinese).
inline constexpr int kCodePageSimplifiedChinese = 936;
inline constexpr int kCodePageTraditionalChinese = 950;

// The cache of pens and fonts shared by all chart drawing: 512 pen slots and 64 font
// slots searched linearly, each with the tick count of its last use. One slot of each
// table stays unused, so 511 pens and 63 fonts are kept; asking for more, or for one the
// platform refuses, journals an error and hands out the default pen (style 1, width 1,
// black) or the default font ("Tahoma", 7 point). Painting always goes on.
// User-interface thread only; the clock, journal and families must outlive it.
class PenCollector {
public:
    static constexpr int kPenSlots = 512;
    static constexpr int kFontSlots = 64;
    static constexpr int kFaceBytes = 63;

    PenCollector(FontFamilies& families, platform::Clock& clock, core::Journal* journal, int dpi_y,
                 int code_page = 0);

    // The cached pen of that style, width and colour, created in the first free slot when
    // missing. key marks the slot in use (the drawing's pen-width factor, 1 on screen).
    const Pen& pen(int32_t style, int32_t width, Colour colour, int32_t key = 1);
    // The cached font of that size (tenths of a point), face and keys (pen-width factor
    // and DPI), created when missing; the face is resolved through the font families.
    const Font& font(int size, std::string_view face, int32_t key1, int32_t key2, int32_t value = 0);

    const Pen& default_pen() const { return default_pen_; }
    const Font& default_font() const { return default_font_; }
    int pens_in_use() const;
    int fonts_in_use() const;
    // Tick count of the last use of the pen slot (0 for a free slot).
    uint32_t pen_last_use(int slot) const;

private:
    struct PenSlot {
        Pen pen;
        int32_t key = 0;   // 0: free
        uint32_t last_use = 0;
    };
    struct FontSlot {
        Font font;
        int size = 0;
        std::string face;   // as asked for, at most kFaceBytes
        int32_t key1 = 0;
        int32_t key2 = 0;
        int32_t value = 0;
        bool used = false;
        uint32_t last_use = 0;
    };

    std::optional<Font> make_font(int size, std::string_view face) const;

    FontFamilies& families_;
    platform::Clock& clock_;
    core::Journal* journal_;
    int dpi_y_;
    int code_page_;
    std::array<PenSlot, kPenSlots> pens_{};
    int pen_end_ = 0;   // slots before it have been used
    std::array<FontSlot, kFontSlots> fonts_{};
    int font_end_ = 0;
    Pen default_pen_;
    Font default_font_;
};

}  // namespace kb::chart
