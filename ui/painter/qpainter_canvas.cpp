#include "ui/painter/qpainter_canvas.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPolygon>
#include <algorithm>
#include <vector>

namespace kb::ui {

namespace {

QRect to_qrect(const chart::Rect& rect) { return QRect(rect.left, rect.top, rect.width(), rect.height()); }

// The on and off lengths in pixels of each pen style: long dashes, so that dashed grid
// lines stay light on a small screen.
std::span<const int> dash_pattern(int32_t style) {
    static constexpr int kDash[] = {18, 6};
    static constexpr int kDot[] = {3, 3};
    static constexpr int kDashDot[] = {9, 6, 3, 6};
    static constexpr int kDashDotDot[] = {9, 3, 3, 3, 3, 3};
    switch (static_cast<chart::PenStyle>(style)) {
    case chart::PenStyle::Dash: return kDash;
    case chart::PenStyle::Dot: return kDot;
    case chart::PenStyle::DashDot: return kDashDot;
    case chart::PenStyle::DashDotDot: return kDashDotDot;
    case chart::PenStyle::Solid: break;
    }
    return {};
}

QString to_qstring(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

QColor to_qcolor(chart::Colour colour) { return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF); }

const LaidOutText& TextCache::get(std::string_view text, const QFont& font, const std::string& font_key) {
    // A unit separator keeps the font's key off the text.
    key_.assign(font_key);
    key_.push_back('\x1f');
    key_.append(text);
    auto found = texts_.find(key_);
    if (found != texts_.end()) return found->second;
    if (texts_.size() >= kMaxTexts) texts_.clear();
    const QString string = to_qstring(text);
    LaidOutText laid_out{QStaticText(string), 0, 0};
    laid_out.text.setTextFormat(Qt::PlainText);
    laid_out.text.setPerformanceHint(QStaticText::AggressiveCaching);
    laid_out.text.prepare(QTransform(), font);
    const QFontMetrics metrics(font);
    laid_out.advance = metrics.horizontalAdvance(string);
    laid_out.height = metrics.height();
    return texts_.emplace(key_, std::move(laid_out)).first->second;
}

QPainterCanvas::QPainterCanvas(QPainter& painter, TextCache* texts) : painter_(painter), texts_(texts) {
    painter_.setRenderHint(QPainter::Antialiasing, false);
    painter_.setRenderHint(QPainter::TextAntialiasing, true);
    painter_.setBrush(Qt::NoBrush);
    QPaintDevice* device = painter_.device();
    if (!device || device->devType() != QInternal::Image) return;
    auto* image = static_cast<QImage*>(device);
    const QImage::Format format = image->format();
    const bool opaque_32_bit = format == QImage::Format_RGB32 || format == QImage::Format_ARGB32 ||
                               format == QImage::Format_ARGB32_Premultiplied;
    if (!opaque_32_bit || image->devicePixelRatio() != 1.0 || !painter_.worldTransform().isIdentity() ||
        painter_.hasClipping() || painter_.opacity() != 1.0 ||
        painter_.compositionMode() != QPainter::CompositionMode_SourceOver)
        return;
    pixels_ = image->bits();
    bytes_per_line_ = image->bytesPerLine();
    image_rect_ = bounds_ = image->rect();
}

void QPainterCanvas::fill(const QRect& rect, chart::Colour colour) {
    // Large areas go to the painter, whose vectorised fill outruns a plain loop once its
    // per-call cost is spread over enough pixels.
    constexpr qsizetype kPainterFillPixels = 2048;
    if (!pixels_ || static_cast<qsizetype>(rect.width()) * rect.height() >= kPainterFillPixels) {
        painter_.fillRect(rect, to_qcolor(colour));
        return;
    }
    const QRect area = rect & bounds_;
    if (area.isEmpty()) return;
    // 0x00BBGGRR to the image's 0xAARRGGBB, opaque.
    const uint32_t pixel = 0xFF000000u | ((colour & 0xFFu) << 16) | (colour & 0xFF00u) | ((colour >> 16) & 0xFFu);
    for (int y = area.top(); y <= area.bottom(); ++y) {
        auto* row = reinterpret_cast<uint32_t*>(pixels_ + y * bytes_per_line_);
        std::fill(row + area.left(), row + area.right() + 1, pixel);
    }
}

void QPainterCanvas::use_pen(const chart::Pen& pen) {
    if (last_pen_ && *last_pen_ == pen) return;
    QPen qpen(to_qcolor(pen.colour));
    const std::span<const int> pattern = dash_pattern(pen.style);
    if (!pattern.empty()) {
        // Qt counts the lengths in pen widths; these are pixels.
        QList<qreal> lengths;
        for (int length : pattern) lengths.append(pen.width > 1 ? static_cast<qreal>(length) / pen.width : length);
        qpen.setDashPattern(lengths);
    }
    qpen.setWidth(pen.width <= 1 ? 0 : pen.width);
    qpen.setCapStyle(Qt::FlatCap);
    painter_.setPen(qpen);
    last_pen_ = pen;
}

void QPainterCanvas::fill_rect(const chart::Rect& rect, chart::Colour colour) {
    if (rect.width() <= 0 || rect.height() <= 0) return;
    fill(to_qrect(rect), colour);
}

void QPainterCanvas::line(chart::Point from, chart::Point to, const chart::Pen& pen) {
    const chart::Segment segment{from, to};
    lines({&segment, 1}, pen);
}

void QPainterCanvas::polyline(std::span<const chart::Point> points, const chart::Pen& pen) {
    if (points.size() < 2) return;
    use_pen(pen);
    QPolygon polygon(static_cast<int>(points.size()));
    for (size_t i = 0; i < points.size(); ++i) polygon.setPoint(static_cast<int>(i), points[i].x, points[i].y);
    painter_.drawPolyline(polygon);
}

// Straight lines one pixel wide are filled as rectangles: the raster engine fills a
// rectangle in one pass but strokes a vertical line pixel by pixel. Patterned ones become
// their dashes.
void QPainterCanvas::lines(std::span<const chart::Segment> segments, const chart::Pen& pen) {
    if (segments.empty()) return;
    const std::span<const int> pattern = dash_pattern(pen.style);
    qrects_.clear();
    qlines_.clear();
    for (const chart::Segment& segment : segments) {
        const chart::Point& a = segment.from;
        const chart::Point& b = segment.to;
        if (pen.width > 1 || (a.x != b.x && a.y != b.y)) {
            qlines_.emplace_back(a.x, a.y, b.x, b.y);
            continue;
        }
        const bool vertical = a.x == b.x;
        const int start = vertical ? std::min(a.y, b.y) : std::min(a.x, b.x);
        const int end = (vertical ? std::max(a.y, b.y) : std::max(a.x, b.x)) + 1;
        const auto add = [&](int from, int to) {
            if (vertical) qrects_.emplace_back(a.x, from, 1, to - from);
            else qrects_.emplace_back(from, a.y, to - from, 1);
        };
        if (pattern.empty()) {
            add(start, end);
            continue;
        }
        size_t step = 0;
        for (int at = start; at < end; step = (step + 1) % pattern.size()) {
            if (step % 2 == 0) add(at, std::min(at + pattern[step], end));
            at += pattern[step];
        }
    }
    for (const QRect& rect : qrects_) fill(rect, pen.colour);
    if (!qlines_.empty()) {
        use_pen(pen);
        painter_.drawLines(qlines_.data(), static_cast<int>(qlines_.size()));
    }
}

void QPainterCanvas::fill_rects(std::span<const chart::Rect> rects, chart::Colour colour) {
    for (const chart::Rect& rect : rects)
        if (rect.width() > 0 && rect.height() > 0) fill(to_qrect(rect), colour);
}

void QPainterCanvas::rectangle(const chart::Rect& rect, const chart::Pen& outline, chart::Colour inside) {
    if (rect.width() <= 0 || rect.height() <= 0) return;
    const QRect area = to_qrect(rect);
    fill(area, inside);
    if (pixels_ && outline.width <= 1 && dash_pattern(outline.style).empty()) {
        // A one-pixel solid outline covers the rectangle's edge pixels exactly.
        fill(QRect(area.left(), area.top(), area.width(), 1), outline.colour);
        fill(QRect(area.left(), area.bottom(), area.width(), 1), outline.colour);
        fill(QRect(area.left(), area.top(), 1, area.height()), outline.colour);
        fill(QRect(area.right(), area.top(), 1, area.height()), outline.colour);
        return;
    }
    use_pen(outline);
    painter_.drawRect(rect.left, rect.top, rect.width() - 1, rect.height() - 1);
}

const QFont& QPainterCanvas::qt_font(const chart::Font& font) {
    if (has_font_ && font == last_font_) return last_qt_font_;
    last_qt_font_ = QFont(QString::fromStdString(font.face));
    last_qt_font_.setPixelSize(std::max(1, font.pixel_height));
    last_qt_font_.setWeight(QFont::Normal);
    last_font_key_ = last_qt_font_.key().toStdString();
    last_font_ = font;
    has_font_ = true;
    return last_qt_font_;
}

void QPainterCanvas::text(chart::Point at, std::string_view text, const chart::Font& font,
                          const chart::TextStyle& style) {
    const QFont& qfont = qt_font(font);
    const bool opaque = style.background == chart::TextBackground::Opaque;
    if (texts_) {
        const LaidOutText& laid_out = texts_->get(text, qfont, last_font_key_);
        if (opaque) fill(QRect(at.x, at.y, laid_out.advance, laid_out.height), style.background_colour);
        painter_.setFont(qfont);
        painter_.setPen(to_qcolor(style.colour));
        last_pen_.reset();
        painter_.drawStaticText(at.x, at.y, laid_out.text);
        return;
    }
    const QString string = to_qstring(text);
    const QFontMetrics metrics(qfont);
    if (opaque) fill(QRect(at.x, at.y, metrics.horizontalAdvance(string), metrics.height()), style.background_colour);
    painter_.setFont(qfont);
    painter_.setPen(to_qcolor(style.colour));
    last_pen_.reset();
    painter_.drawText(at.x, at.y + metrics.ascent(), string);
}

chart::TextSize QPainterCanvas::measure(std::string_view text, const chart::Font& font) {
    const QFont& qfont = qt_font(font);
    if (texts_) {
        const LaidOutText& laid_out = texts_->get(text, qfont, last_font_key_);
        return {laid_out.advance, laid_out.height};
    }
    const QFontMetrics metrics(qfont);
    return {metrics.horizontalAdvance(to_qstring(text)), metrics.height()};
}

void QPainterCanvas::set_clip(const chart::Rect& rect) {
    painter_.setClipRect(to_qrect(rect));
    bounds_ = image_rect_ & to_qrect(rect);
}

void QPainterCanvas::clear_clip() {
    painter_.setClipping(false);
    bounds_ = image_rect_;
}

std::optional<std::string> QtFontFamilies::resolve(std::string_view face) {
    const QStringList families = QFontDatabase::families();
    const QString wanted = to_qstring(face);
    if (families.contains(wanted, Qt::CaseInsensitive)) return std::string(face);
    const auto first_of = [&](std::initializer_list<const char*> names) -> std::optional<std::string> {
        for (const char* name : names)
            if (families.contains(QString::fromLatin1(name), Qt::CaseInsensitive)) return std::string(name);
        return std::nullopt;
    };
    std::optional<std::string> stand_in;
    if (wanted.compare("Tahoma", Qt::CaseInsensitive) == 0) stand_in = first_of({"DejaVu Sans", "Liberation Sans"});
    else if (wanted.compare("Impact", Qt::CaseInsensitive) == 0)
        stand_in = first_of({"DejaVu Sans Condensed", "Liberation Sans Narrow", "DejaVu Sans"});
    if (stand_in) return stand_in;
    const QString general = QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    if (general.isEmpty()) return std::nullopt;
    return general.toStdString();
}

}  // namespace kb::ui
