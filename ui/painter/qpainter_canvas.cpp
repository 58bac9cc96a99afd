#include "ui/painter/qpainter_canvas.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPolygon>
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

const QStaticText& TextCache::get(const QString& text, const QFont& font) {
    // The font's key tells fonts apart; a unit separator keeps it off the text.
    const QString key = font.key() + QChar(0x1F) + text;
    auto found = texts_.find(key);
    if (found != texts_.end()) return found->second;
    if (texts_.size() >= kMaxTexts) texts_.clear();
    QStaticText laid_out(text);
    laid_out.setTextFormat(Qt::PlainText);
    laid_out.setPerformanceHint(QStaticText::AggressiveCaching);
    laid_out.prepare(QTransform(), font);
    return texts_.emplace(key, std::move(laid_out)).first->second;
}

QPainterCanvas::QPainterCanvas(QPainter& painter, TextCache* texts) : painter_(painter), texts_(texts) {
    painter_.setRenderHint(QPainter::Antialiasing, false);
    painter_.setRenderHint(QPainter::TextAntialiasing, true);
    painter_.setBrush(Qt::NoBrush);
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
    painter_.fillRect(to_qrect(rect), to_qcolor(colour));
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
    const QColor colour = to_qcolor(pen.colour);
    for (const QRect& rect : qrects_) painter_.fillRect(rect, colour);
    if (!qlines_.empty()) {
        use_pen(pen);
        painter_.drawLines(qlines_.data(), static_cast<int>(qlines_.size()));
    }
}

void QPainterCanvas::fill_rects(std::span<const chart::Rect> rects, chart::Colour colour) {
    const QColor qcolour = to_qcolor(colour);
    for (const chart::Rect& rect : rects)
        if (rect.width() > 0 && rect.height() > 0) painter_.fillRect(to_qrect(rect), qcolour);
}

void QPainterCanvas::rectangle(const chart::Rect& rect, const chart::Pen& outline, chart::Colour fill) {
    if (rect.width() <= 0 || rect.height() <= 0) return;
    painter_.fillRect(to_qrect(rect), to_qcolor(fill));
    use_pen(outline);
    painter_.drawRect(rect.left, rect.top, rect.width() - 1, rect.height() - 1);
}

const QFont& QPainterCanvas::qt_font(const chart::Font& font) {
    if (has_font_ && font == last_font_) return last_qt_font_;
    last_qt_font_ = QFont(QString::fromStdString(font.face));
    last_qt_font_.setPixelSize(std::max(1, font.pixel_height));
    last_qt_font_.setWeight(QFont::Normal);
    last_font_ = font;
    has_font_ = true;
    return last_qt_font_;
}

void QPainterCanvas::text(chart::Point at, std::string_view text, const chart::Font& font,
                          const chart::TextStyle& style) {
    const QFont& qfont = qt_font(font);
    const QString string = to_qstring(text);
    const QFontMetrics metrics(qfont);
    if (style.background == chart::TextBackground::Opaque)
        painter_.fillRect(QRect(at.x, at.y, metrics.horizontalAdvance(string), metrics.height()),
                          to_qcolor(style.background_colour));
    painter_.setFont(qfont);
    painter_.setPen(to_qcolor(style.colour));
    last_pen_.reset();
    if (texts_) painter_.drawStaticText(at.x, at.y, texts_->get(string, qfont));
    else painter_.drawText(at.x, at.y + metrics.ascent(), string);
}

chart::TextSize QPainterCanvas::measure(std::string_view text, const chart::Font& font) {
    const QFontMetrics metrics(qt_font(font));
    return {metrics.horizontalAdvance(to_qstring(text)), metrics.height()};
}

void QPainterCanvas::set_clip(const chart::Rect& rect) { painter_.setClipRect(to_qrect(rect)); }

void QPainterCanvas::clear_clip() { painter_.setClipping(false); }

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
