#include "platform/Canvas.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <array>
#include <cstdlib>

namespace {

// On/off runs of the cosmetic pen styles, in pixels; a pattern starts
// afresh with each line.
std::span<const int> DashPattern(TPenStyle style) {
    static constexpr std::array dash{18, 6};
    static constexpr std::array dot{3, 3};
    static constexpr std::array dashDot{9, 6, 3, 6};
    static constexpr std::array dashDotDot{9, 3, 3, 3, 3, 3};
    switch (style) {
    case psDash:
        return dash;
    case psDot:
        return dot;
    case psDashDot:
        return dashDot;
    case psDashDotDot:
        return dashDotDot;
    default:
        return {};
    }
}

QPen ToQPen(TPenStyle style, TColor color, int width) {
    if (style == psClear)
        return Qt::NoPen;
    QPen pen(ToQColor(color), width <= 1 ? 0 : width);
    pen.setCosmetic(true);
    const auto pattern = DashPattern(style);
    if (!pattern.empty()) {
        pen.setStyle(Qt::CustomDashLine);
        pen.setDashPattern(QList<qreal>(pattern.begin(), pattern.end()));
    }
    return pen;
}

// Boxes given either way round come out left-top first; false for a box
// without an inside.
bool Normalize(int& left, int& top, int& right, int& bottom) {
    if (left > right)
        std::swap(left, right);
    if (top > bottom)
        std::swap(top, bottom);
    return right - left >= 1 && bottom - top >= 1;
}

// The pixel the integer line from `from` sets just before reaching `to`.
QPoint LastPixelBefore(QPoint from, QPoint to) {
    const int dx = std::abs(to.x() - from.x()), sx = from.x() < to.x() ? 1 : -1;
    const int dy = -std::abs(to.y() - from.y()), sy = from.y() < to.y() ? 1 : -1;
    int err = dx + dy;
    int x = from.x(), y = from.y();
    QPoint last = from;
    while (x != to.x() || y != to.y()) {
        last = {x, y};
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
    return last;
}

} // namespace

TCanvas::TCanvas(QPainter& painter) : painter_(painter) {
    painter_.setRenderHint(QPainter::Antialiasing, false);
    painter_.setRenderHint(QPainter::TextAntialiasing, false);
    SetFont(painter_.font());
}

void TCanvas::SetFont(const QFont& font) {
    font_ = font;
    font_.setStyleStrategy(QFont::NoAntialias);
    fontHeight_ = font.pixelSize() > 0 ? font.pixelSize() : QFontInfo(font).pixelSize();
    font_.setPixelSize(std::max(fontHeight_, 1));
    metrics_.reset();
}

void TCanvas::SetFontName(const QString& face) {
    font_.setFamily(face);
    metrics_.reset();
}

void TCanvas::SetFontHeight(int pixels) {
    if (pixels == 0)
        return;
    fontHeight_ = pixels;
    font_.setPixelSize(std::abs(pixels));
    metrics_.reset();
}

const QFontMetrics& TCanvas::Metrics() const {
    if (!metrics_) {
        painter_.setFont(font_);
        metrics_.emplace(painter_.fontMetrics());
    }
    return *metrics_;
}

void TCanvas::LineTo(int x, int y) {
    Line(pos_, {x, y});
    pos_ = {x, y};
}

// Integer line from `from` up to, not including, `to`.
void TCanvas::Line(QPoint from, QPoint to) {
    if (penStyle_ == psClear || from == to)
        return;
    if (penWidth_ > 1) {
        // Wide pens have no pixel pattern of their own; Qt's flat caps
        // come closest.
        QPen pen = ToQPen(penStyle_, penColor_, penWidth_);
        pen.setCapStyle(Qt::FlatCap);
        painter_.setPen(pen);
        painter_.drawLine(from, to);
        return;
    }
    const QPoint last = LastPixelBefore(from, to);
    // A solid straight run is one filled rectangle, the cheapest thing to
    // paint; a single pixel starts every pattern with a dash.
    const bool solid = penStyle_ == psSolid || penStyle_ == psInsideFrame;
    if (last == from || (solid && (last.x() == from.x() || last.y() == from.y()))) {
        painter_.fillRect(QRect(QPoint(std::min(from.x(), last.x()), std::min(from.y(), last.y())),
                                QPoint(std::max(from.x(), last.x()), std::max(from.y(), last.y()))),
                          ToQColor(penColor_));
        return;
    }
    // Qt sets both ends and counts the pen's pattern from `from`.
    ApplyPen(1);
    painter_.drawLine(from, last);
}

void TCanvas::ApplyPen(int width) {
    painter_.setPen(ToQPen(penStyle_, penColor_, width));
    painter_.setBackgroundMode(Opaque() ? Qt::OpaqueMode : Qt::TransparentMode);
    painter_.setBackground(ToQColor(brushColor_));
}

void TCanvas::Rectangle(int left, int top, int right, int bottom) {
    if (!Normalize(left, top, right, bottom))
        return;
    if (penStyle_ == psClear) {
        // Without a pen the fill stops one short of the outline's far edges.
        if (Opaque())
            painter_.fillRect(left, top, right - left - 1, bottom - top - 1, ToQColor(brushColor_));
        return;
    }
    if (Opaque())
        painter_.fillRect(left, top, right - left, bottom - top, ToQColor(brushColor_));
    if (right - left == 1 || bottom - top == 1) {
        painter_.fillRect(left, top, right - left, bottom - top, ToQColor(penColor_));
        return;
    }
    const QPoint corners[] = {
        {left, top}, {right - 1, top}, {right - 1, bottom - 1}, {left, bottom - 1}};
    for (int i = 0; i < 4; ++i)
        Line(corners[i], corners[(i + 1) % 4]);
}

void TCanvas::Ellipse(int left, int top, int right, int bottom) {
    if (!Normalize(left, top, right, bottom))
        return;
    ApplyPen(penWidth_);
    painter_.setBrush(Opaque() ? QBrush(ToQColor(brushColor_)) : QBrush(Qt::NoBrush));
    painter_.drawEllipse(QRect(left, top, right - left - 1, bottom - top - 1));
}

void TCanvas::Polygon(std::span<const QPoint> points) {
    if (points.empty())
        return;
    if (Opaque() && points.size() > 2) {
        painter_.setPen(Qt::NoPen);
        painter_.setBrush(ToQColor(brushColor_));
        painter_.drawPolygon(points.data(), static_cast<int>(points.size()), Qt::OddEvenFill);
    }
    // Each edge leaves its end pixel to the next, so every vertex is set once.
    for (std::size_t i = 0; i < points.size(); ++i)
        Line(points[i], points[(i + 1) % points.size()]);
    if (std::all_of(points.begin(), points.end(), [&](QPoint p) { return p == points[0]; })) {
        // A polygon shrunk to one point still sets that pixel.
        if (penStyle_ != psClear)
            painter_.fillRect(points[0].x(), points[0].y(), 1, 1, ToQColor(penColor_));
    }
    pos_ = points.back();
}

void TCanvas::TextOut(int x, int y, const QString& text) {
    const QFontMetrics& metrics = Metrics();
    if (Opaque())
        painter_.fillRect(x, y, metrics.horizontalAdvance(text), metrics.height(),
                          ToQColor(brushColor_));
    painter_.setPen(ToQColor(fontColor_));
    painter_.setBackgroundMode(Qt::TransparentMode); // the cell was filled above
    painter_.drawText(x, y + metrics.ascent(), text);
}

int TCanvas::TextWidth(const QString& text) const {
    return Metrics().horizontalAdvance(text);
}

int TCanvas::TextHeight(const QString& /*text*/) const {
    return Metrics().height();
}
