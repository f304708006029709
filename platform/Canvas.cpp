// SPDX-License-Identifier: MIT
#include "platform/Canvas.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>

namespace nebelkamm {
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

} // namespace

// Bresenham's line in closed form: the major axis steps every pixel; the
// minor one has stepped m times after k pixels, m the largest with
// (2m - 1) * major <= 2 * k * minor.
QPoint LastPixelBefore(QPoint from, QPoint to) {
    const std::int64_t dx = std::abs(std::int64_t(to.x()) - from.x());
    const std::int64_t dy = std::abs(std::int64_t(to.y()) - from.y());
    const int sx = from.x() < to.x() ? 1 : -1, sy = from.y() < to.y() ? 1 : -1;
    const std::int64_t major = std::max(dx, dy), minor = std::min(dx, dy);
    if (major == 0)
        return from;
    const std::int64_t k = major - 1;
    const std::int64_t m = minor == major ? k : (2 * k * minor + major) / (2 * major);
    const std::int64_t mx = dx >= dy ? k : m, my = dx >= dy ? m : k;
    return {int(from.x() + sx * mx), int(from.y() + sy * my)};
}

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
    // An outline that runs wholly outside what can be seen is not stroked:
    // a huge ellipse would cost its whole circumference.
    if (painter_.device() && painter_.worldTransform().isIdentity()) {
        const int margin = std::max(penWidth_, 1) + 2;
        const QRect seen = QRect(0, 0, painter_.device()->width(), painter_.device()->height())
                               .adjusted(-margin, -margin, margin, margin);
        if (!seen.intersects(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1))))
            return;
        const double cx = 0.5 * (double(left) + right - 1), cy = 0.5 * (double(top) + bottom - 1);
        const double a = 0.5 * (double(right) - left - 1) - margin;
        const double b = 0.5 * (double(bottom) - top - 1) - margin;
        const auto inside = [&](double x, double y) {
            return (x - cx) * (x - cx) / (a * a) + (y - cy) * (y - cy) / (b * b) < 1;
        };
        if (a > 0 && b > 0 && inside(seen.left(), seen.top()) && inside(seen.right(), seen.top()) &&
            inside(seen.left(), seen.bottom()) && inside(seen.right(), seen.bottom())) {
            if (Opaque())
                painter_.fillRect(seen, ToQColor(brushColor_));
            return;
        }
    }
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

} // namespace nebelkamm
