#include "chart/render/pen_collector.h"

#include "core/journal.h"
#include "platform/clock.h"

namespace kb::chart {

namespace {

constexpr int kDefaultFontSize = 70;
constexpr std::string_view kDefaultFace = "Tahoma";
// Widths a pen can have; anything outside is refused like a pen the platform won't make.
constexpr int32_t kMaxPenWidth = 255;

bool pen_possible(int32_t style, int32_t width) {
    return style >= static_cast<int32_t>(PenStyle::Solid) && style <= static_cast<int32_t>(PenStyle::DashDotDot) &&
           width >= 0 && width <= kMaxPenWidth;
}

std::string cut_face(std::string_view face) {
    return std::string(face.substr(0, PenCollector::kFaceBytes));
}

}  // namespace

PenCollector::PenCollector(FontFamilies& families, platform::Clock& clock, core::Journal* journal, int dpi_y,
                           int code_page)
    : families_(families), clock_(clock), journal_(journal), dpi_y_(dpi_y), code_page_(code_page) {
    default_pen_ = Pen{static_cast<int32_t>(PenStyle::Dash), 1, 0x000000};
    if (std::optional<Font> font = make_font(kDefaultFontSize, kDefaultFace)) default_font_ = *font;
    else default_font_ = Font{std::string(kDefaultFace), kDefaultFontSize, kDefaultFontSize * dpi_y_ / 720};
}

const Pen& PenCollector::pen(int32_t style, int32_t width, Colour colour, int32_t key) {
    const uint32_t now = clock_.tick_ms();
    int free_slot = -1;
    for (int i = 0; i < pen_end_; ++i) {
        PenSlot& slot = pens_[i];
        if (slot.key == 0) {
            if (free_slot < 0) free_slot = i;
            continue;
        }
        if (slot.pen.colour == colour && slot.pen.style == style && slot.pen.width == width) {
            slot.last_use = now;
            return slot.pen;
        }
    }
    if (free_slot < 0) {
        if (pen_end_ >= kPenSlots - 1) {
            if (journal_) journal_->write(core::Level::Error, "PenCollector: not enough space in array (%d)", pen_end_);
            return default_pen_;
        }
        free_slot = pen_end_++;
    }
    PenSlot& slot = pens_[free_slot];
    if (!pen_possible(style, width)) {
        slot = PenSlot{};
        if (journal_)
            journal_->write(core::Level::Error, "PenCollector: cannot create CPen(%d,%d,%X,%d)", style, width, colour,
                            key);
        return default_pen_;
    }
    slot.pen = Pen{style, width, colour};
    slot.key = key == 0 ? 1 : key;
    slot.last_use = now;
    return slot.pen;
}

std::optional<Font> PenCollector::make_font(int size, std::string_view face) const {
    if (size <= 0) return std::nullopt;
    std::optional<std::string> family = families_.resolve(face);
    if (!family) return std::nullopt;
    int tenths = size;
    if (code_page_ == kCodePageSimplifiedChinese || code_page_ == kCodePageTraditionalChinese) tenths += 10;
    return Font{*family, tenths, tenths * dpi_y_ / 720};
}

const Font& PenCollector::font(int size, std::string_view face, int32_t key1, int32_t key2, int32_t value) {
    const uint32_t now = clock_.tick_ms();
    const std::string wanted = cut_face(face);
    int free_slot = -1;
    for (int i = 0; i < font_end_; ++i) {
        FontSlot& slot = fonts_[i];
        if (!slot.used) {
            if (free_slot < 0) free_slot = i;
            continue;
        }
        if (slot.size == size && slot.key1 == key1 && slot.key2 == key2 && slot.face == wanted) {
            slot.last_use = now;
            return slot.font;
        }
    }
    if (free_slot < 0) {
        if (font_end_ >= kFontSlots - 1) {
            if (journal_) journal_->write(core::Level::Error, "PenCollector: not enough space in array (%d)", font_end_);
            return default_font_;
        }
        free_slot = font_end_++;
    }
    FontSlot& slot = fonts_[free_slot];
    std::optional<Font> made = make_font(size, wanted);
    if (!made) {
        slot = FontSlot{};
        if (journal_)
            journal_->write(core::Level::Error, "PenCollector: cannot create CFont(%d,%s)", -size * dpi_y_ / 720,
                            wanted.c_str());
        return default_font_;
    }
    slot = FontSlot{std::move(*made), size, wanted, key1, key2, value, true, now};
    return slot.font;
}

int PenCollector::pens_in_use() const {
    int count = 0;
    for (int i = 0; i < pen_end_; ++i) count += pens_[i].key != 0;
    return count;
}

int PenCollector::fonts_in_use() const {
    int count = 0;
    for (int i = 0; i < font_end_; ++i) count += fonts_[i].used;
    return count;
}

uint32_t PenCollector::pen_last_use(int slot) const {
    if (slot < 0 || slot >= pen_end_ || pens_[slot].key == 0) return 0;
    return pens_[slot].last_use;
}

}  // namespace kb::chart
