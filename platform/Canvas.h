// SPDX-License-Identifier: MIT
#pragma once

#include "platform/Color.h"
#include "platform/Styles.h"

#include <QFont>
#include <QFontMetrics>
#include <QPoint>
#include <QString>

#include <optional>
#include <span>

class QPainter;

namespace nebelkamm {

// The drawing rules our controls are written against, over a QPainter:
// coordinates are whole pixels, a line never sets its end pixel, a
// rectangle (L, T, R, B) covers columns L..R-1 and rows T..B-1, dotted pens
// are 3 on 3 off, a solid brush paints pen gaps and text backgrounds, a
// clear brush leaves them transparent, font heights are pixel heights.
// Works on any device a QPainter can open.
class TCanvas {
public:
    // Draws through painter, which must stay open while the canvas lives;
    // antialiasing is switched off.
    explicit TCanvas(QPainter& painter);
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    // The pen: style, colour and width (1 or more) of lines and outlines.
    TPenStyle PenStyle() const { return penStyle_; }
    void SetPenStyle(TPenStyle style) { penStyle_ = style; }
    TColor PenColor() const { return penColor_; }
    void SetPenColor(TColor color) { penColor_ = color; }
    int PenWidth() const { return penWidth_; }
    void SetPenWidth(int width) { penWidth_ = width < 1 ? 1 : width; }

    // The brush: fills, pen gaps and text backgrounds when solid.
    TBrushStyle BrushStyle() const { return brushStyle_; }
    void SetBrushStyle(TBrushStyle style) { brushStyle_ = style; }
    TColor BrushColor() const { return brushColor_; }
    // A colour makes a clear brush solid again.
    void SetBrushColor(TColor color) {
        brushColor_ = color;
        brushStyle_ = bsSolid;
    }

    // Assigns every attribute of the font; its size becomes the height.
    void SetFont(const QFont& font);
    const QFont& Font() const { return font_; }
    TColor FontColor() const { return fontColor_; }
    void SetFontColor(TColor color) { fontColor_ = color; }
    void SetFontName(const QString& face);
    int FontHeight() const { return fontHeight_; }
    // Pixels; 0 keeps the font's own size.
    void SetFontHeight(int pixels);

    // Where the next LineTo starts.
    QPoint PenPos() const { return pos_; }
    // Moves the pen position without drawing.
    void MoveTo(int x, int y) { pos_ = {x, y}; }
    // A line from the pen position, without its end pixel; moves there.
    void LineTo(int x, int y);
    // Outlines columns left..right-1 and rows top..bottom-1, fills inside.
    void Rectangle(int left, int top, int right, int bottom);
    // The ellipse inscribed in the same box as Rectangle's.
    void Ellipse(int left, int top, int right, int bottom);
    // Closed, outlined with the pen, filled with the brush (alternate rule).
    void Polygon(std::span<const QPoint> points);
    // Text with its cell's top left at x, y, on the brush when solid.
    void TextOut(int x, int y, const QString& text);
    // The text's width and height in pixels in the present font.
    int TextWidth(const QString& text) const;
    int TextHeight(const QString& text) const;

    // Painting happens on one thread; the count documents who holds it.
    void Lock() { ++locks_; }
    void Unlock() {
        if (locks_ > 0)
            --locks_;
    }
    int LockCount() const { return locks_; }

private:
    void Line(QPoint from, QPoint to);
    // Pen, and pen gaps in the brush colour when the brush is solid.
    void ApplyPen(int width);
    const QFontMetrics& Metrics() const;
    bool Opaque() const { return brushStyle_ == bsSolid; }

    QPainter& painter_;
    TPenStyle penStyle_ = psSolid;
    TColor penColor_ = clBlack;
    int penWidth_ = 1;
    TBrushStyle brushStyle_ = bsSolid;
    TColor brushColor_ = clWhite;
    QFont font_;
    TColor fontColor_ = clBlack;
    int fontHeight_ = 0;
    mutable std::optional<QFontMetrics> metrics_; // set while the painter has font_
    QPoint pos_;
    int locks_ = 0;
};

// The pixel that a one-pixel line from `from` sets just before `to` (the
// last one it draws, since a line leaves out its end pixel); `from` itself
// when the two coincide. Constant time for any length.
QPoint LastPixelBefore(QPoint from, QPoint to);

// A real coordinate to a pixel: toward zero, NaN to 0, and bounded so that
// sums of a few coordinates cannot overflow an int.
constexpr int PixelTrunc(double v) {
    constexpr double limit = 1 << 24;
    if (!(v == v))
        return 0;
    if (v > limit)
        return static_cast<int>(limit);
    if (v < -limit)
        return -static_cast<int>(limit);
    return static_cast<int>(v);
}

} // namespace nebelkamm
