// SPDX-License-Identifier: MIT
#pragma once

#include "platform/Canvas.h"
#include "platform/Color.h"

#include <QImage>
#include <QPainter>
#include <QString>

using namespace nebelkamm;

// A colour no drawing step of ours uses, so untouched pixels stand out.
inline constexpr QRgb kUntouched = 0xFF123456;

inline QImage BlankImage(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(kUntouched);
    return image;
}

// What `draw` paints through a canvas onto a blank w x h image.
template <class Draw> QImage DrawnImage(int w, int h, Draw draw) {
    QImage image = BlankImage(w, h);
    {
        QPainter painter(&image);
        TCanvas canvas(painter);
        draw(canvas);
    }
    return image;
}

inline QRgb Rgb(TColor c) {
    return ToQColor(c).rgb();
}

// One character per pixel along a run, for readable comparisons:
// 'k' black, 'w' white, 'r' red, 'g' green, 'b' blue, 'y' yellow,
// '.' untouched, '?' anything else.
inline char PixelCode(QRgb p) {
    switch (p | 0xFF000000u) {
    case 0xFF000000u:
        return 'k';
    case 0xFFFFFFFFu:
        return 'w';
    case 0xFFFF0000u:
        return 'r';
    case 0xFF008000u:
        return 'g';
    case 0xFF0000FFu:
        return 'b';
    case 0xFFFFFF00u:
        return 'y';
    case kUntouched:
        return '.';
    default:
        return '?';
    }
}

inline QString Row(const QImage& image, int y, int x0, int x1) {
    QString s;
    for (int x = x0; x <= x1; ++x)
        s += QLatin1Char(PixelCode(image.pixel(x, y)));
    return s;
}

inline QString Column(const QImage& image, int x, int y0, int y1) {
    QString s;
    for (int y = y0; y <= y1; ++y)
        s += QLatin1Char(PixelCode(image.pixel(x, y)));
    return s;
}

inline int CountColour(const QImage& image, QRgb colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += (image.pixel(x, y) | 0xFF000000u) == (colour | 0xFF000000u);
    return n;
}
