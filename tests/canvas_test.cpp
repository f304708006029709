// SPDX-License-Identifier: MIT
#include "platform/Canvas.h"

#include "Pixels.h"

#include <QPainter>
#include <QTest>

#include <cmath>
#include <limits>

using namespace nebelkamm;

class CanvasTest : public QObject {
    Q_OBJECT

private slots:
    void lineLeavesEndPixel_data();
    void lineLeavesEndPixel();
    void penPatterns_data();
    void penPatterns();
    void rectangleCoversLeftTopToRightBottomMinusOne();
    void degenerateRectanglesDrawNothing();
    void ellipseBoxExcludesRightAndBottom();
    void ellipseFarBeyondTheImage_data();
    void ellipseFarBeyondTheImage();
    void polygonIsClosedFilledAndKeepsEveryVertex();
    void collapsedPolygonStillSetsItsPixel();
    void textBackgroundFollowsBrush();
    void brushColourMakesClearBrushSolid();
    void fontHeightIsPixelHeight();
    void lastPixelOfAnyLineInConstantTime();
    void pixelTruncation_data();
    void pixelTruncation();
};

void CanvasTest::lineLeavesEndPixel_data() {
    QTest::addColumn<QPoint>("from");
    QTest::addColumn<QPoint>("to");
    QTest::addColumn<QList<QPoint>>("set");
    QTest::addColumn<QList<QPoint>>("unset");
    QTest::newRow("right") << QPoint(2, 5) << QPoint(6, 5) << QList<QPoint>{{2, 5}, {5, 5}}
                           << QList<QPoint>{{6, 5}, {1, 5}};
    QTest::newRow("left") << QPoint(6, 5) << QPoint(2, 5) << QList<QPoint>{{6, 5}, {3, 5}}
                          << QList<QPoint>{{2, 5}, {7, 5}};
    QTest::newRow("down") << QPoint(4, 1) << QPoint(4, 8) << QList<QPoint>{{4, 1}, {4, 7}}
                          << QList<QPoint>{{4, 8}};
    QTest::newRow("up") << QPoint(4, 8) << QPoint(4, 1) << QList<QPoint>{{4, 8}, {4, 2}}
                        << QList<QPoint>{{4, 1}};
    QTest::newRow("diagonal") << QPoint(1, 1) << QPoint(5, 5)
                              << QList<QPoint>{{1, 1}, {2, 2}, {4, 4}} << QList<QPoint>{{5, 5}};
    QTest::newRow("steep back") << QPoint(9, 9) << QPoint(7, 2) << QList<QPoint>{{9, 9}}
                                << QList<QPoint>{{7, 2}};
    QTest::newRow("zero length") << QPoint(3, 3) << QPoint(3, 3) << QList<QPoint>{}
                                 << QList<QPoint>{{3, 3}};
}

void CanvasTest::lineLeavesEndPixel() {
    QFETCH(QPoint, from);
    QFETCH(QPoint, to);
    QFETCH(QList<QPoint>, set);
    QFETCH(QList<QPoint>, unset);
    QPoint pos;
    const QImage image = DrawnImage(12, 12, [&](TCanvas& canvas) {
        canvas.SetPenColor(clBlack);
        canvas.MoveTo(from.x(), from.y());
        canvas.LineTo(to.x(), to.y());
        pos = canvas.PenPos();
    });
    QCOMPARE(pos, to);
    for (QPoint p : set)
        QVERIFY2(image.pixel(p) == Rgb(clBlack),
                 qPrintable(QString("(%1,%2)").arg(p.x()).arg(p.y())));
    for (QPoint p : unset)
        QVERIFY2(image.pixel(p) == kUntouched,
                 qPrintable(QString("(%1,%2)").arg(p.x()).arg(p.y())));
    // The pixels set are exactly the line's length: one per step.
    const int steps = std::max(std::abs(to.x() - from.x()), std::abs(to.y() - from.y()));
    QCOMPARE(CountColour(image, Rgb(clBlack)), steps);
}

void CanvasTest::penPatterns_data() {
    QTest::addColumn<int>("style");
    QTest::addColumn<bool>("opaque");
    QTest::addColumn<QString>("row");
    QTest::newRow("dot, clear brush") << int(psDot) << false << "kkk...kkk...kkk...kk";
    QTest::newRow("dot, solid brush") << int(psDot) << true << "kkkwwwkkkwwwkkkwwwkk";
    QTest::newRow("dash") << int(psDash) << true << "kkkkkkkkkkkkkkkkkkwwwwwwkk";
    QTest::newRow("dash dot") << int(psDashDot) << false << "kkkkkkkkk......kkk......kk";
    QTest::newRow("dash dot dot") << int(psDashDotDot) << false << "kkkkkkkkk...kkk...kkk...kk";
    QTest::newRow("solid") << int(psSolid) << true << "kkkkkkkkkkkkkkkkkkkkkkkkkk";
    QTest::newRow("clear pen") << int(psClear) << true << "..........................";
}

// Horizontal, vertical and diagonal lines follow the same pixel pattern,
// counted from each line's start; gaps are painted only with a solid brush.
void CanvasTest::penPatterns() {
    QFETCH(int, style);
    QFETCH(bool, opaque);
    QFETCH(QString, row);
    const int n = static_cast<int>(row.size());
    const QImage image = DrawnImage(n + 2, n + 2, [&](TCanvas& canvas) {
        canvas.SetPenStyle(static_cast<TPenStyle>(style));
        canvas.SetPenColor(clBlack);
        canvas.SetBrushColor(clWhite);
        if (!opaque)
            canvas.SetBrushStyle(bsClear);
        canvas.MoveTo(0, 0);
        canvas.LineTo(n, 0);
        canvas.MoveTo(n + 1, 1);
        canvas.LineTo(n + 1, n + 1);
        canvas.MoveTo(0, 1);
        canvas.LineTo(n, n + 1);
    });
    QCOMPARE(Row(image, 0, 0, n - 1), row);
    QCOMPARE(Column(image, n + 1, 1, n), row);
    QString diagonal;
    for (int k = 0; k < n; ++k)
        diagonal += QLatin1Char(PixelCode(image.pixel(k, 1 + k)));
    QCOMPARE(diagonal, row);
}

void CanvasTest::rectangleCoversLeftTopToRightBottomMinusOne() {
    const QImage image = DrawnImage(12, 10, [&](TCanvas& canvas) {
        canvas.SetPenColor(clBlack);
        canvas.SetBrushColor(clWhite);
        canvas.Rectangle(2, 1, 9, 7);
    });
    QCOMPARE(Row(image, 0, 0, 11), QString("............"));
    QCOMPARE(Row(image, 1, 0, 11), QString("..kkkkkkk..."));
    QCOMPARE(Row(image, 3, 0, 11), QString("..kwwwwwk..."));
    QCOMPARE(Row(image, 6, 0, 11), QString("..kkkkkkk..."));
    QCOMPARE(Row(image, 7, 0, 11), QString("............"));
}

void CanvasTest::degenerateRectanglesDrawNothing() {
    const QImage image = DrawnImage(10, 10, [&](TCanvas& canvas) {
        canvas.SetPenColor(clBlack);
        canvas.Rectangle(4, 4, 4, 9);
        canvas.Rectangle(2, 6, 8, 6);
        canvas.Ellipse(5, 5, 5, 5);
    });
    QCOMPARE(CountColour(image, kUntouched), 100);
}

void CanvasTest::ellipseBoxExcludesRightAndBottom() {
    const QImage image = DrawnImage(30, 30, [&](TCanvas& canvas) {
        canvas.SetPenColor(clBlack);
        canvas.SetBrushStyle(bsClear);
        canvas.Ellipse(5, 6, 25, 22);
    });
    int minX = 99, maxX = -1, minY = 99, maxY = -1;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 30; ++x)
            if (image.pixel(x, y) == Rgb(clBlack)) {
                minX = std::min(minX, x), maxX = std::max(maxX, x);
                minY = std::min(minY, y), maxY = std::max(maxY, y);
            }
    QCOMPARE(minX, 5);
    QCOMPARE(maxX, 24);
    QCOMPARE(minY, 6);
    QCOMPARE(maxY, 21);
    QCOMPARE(image.pixel(15, 14), kUntouched); // hollow with a clear brush
}

// Outlines wholly outside the image leave it as Qt's stroking would: the
// inside filled or untouched, the outside untouched.
void CanvasTest::ellipseFarBeyondTheImage_data() {
    QTest::addColumn<QRect>("box"); // left, top, right, bottom as a QRect's corners
    QTest::addColumn<bool>("solid");
    QTest::addColumn<int>("filled"); // pixels of the brush colour
    QTest::newRow("around, clear") << QRect(QPoint(-9000, -9000), QPoint(9040, 9030)) << false << 0;
    QTest::newRow("around, solid")
        << QRect(QPoint(-9000, -9000), QPoint(9040, 9030)) << true << 40 * 30;
    QTest::newRow("huge around") << QRect(QPoint(-(1 << 24), -(1 << 24)), QPoint(1 << 24, 1 << 24))
                                 << true << 40 * 30;
    QTest::newRow("beside") << QRect(QPoint(100, -50), QPoint(9000, 9000)) << true << 0;
}

void CanvasTest::ellipseFarBeyondTheImage() {
    QFETCH(QRect, box);
    QFETCH(bool, solid);
    QFETCH(int, filled);
    const QImage image = DrawnImage(40, 30, [&](TCanvas& canvas) {
        canvas.SetPenStyle(psDot);
        canvas.SetPenColor(clBlack);
        if (solid)
            canvas.SetBrushColor(clRed);
        else
            canvas.SetBrushStyle(bsClear);
        canvas.Ellipse(box.left(), box.top(), box.right(), box.bottom());
    });
    QCOMPARE(CountColour(image, Rgb(clRed)), filled);
    QCOMPARE(CountColour(image, kUntouched), 40 * 30 - filled);
}

void CanvasTest::polygonIsClosedFilledAndKeepsEveryVertex() {
    const QPoint triangle[] = {{2, 2}, {16, 2}, {2, 16}};
    const QImage image = DrawnImage(20, 20, [&](TCanvas& canvas) {
        canvas.SetPenColor(clBlack);
        canvas.SetBrushColor(clRed);
        canvas.Polygon(triangle);
    });
    for (QPoint p : triangle)
        QCOMPARE(image.pixel(p), Rgb(clBlack));
    QCOMPARE(image.pixel(2, 9), Rgb(clBlack)); // the closing edge
    QCOMPARE(image.pixel(5, 5), Rgb(clRed));
    QCOMPARE(image.pixel(14, 14), kUntouched);
}

void CanvasTest::collapsedPolygonStillSetsItsPixel() {
    const QPoint point[] = {{4, 4}, {4, 4}, {4, 4}};
    const QImage image = DrawnImage(10, 10, [&](TCanvas& canvas) {
        canvas.SetPenColor(clBlack);
        canvas.SetBrushColor(clRed);
        canvas.Polygon(point);
    });
    QCOMPARE(image.pixel(4, 4), Rgb(clBlack));
    QCOMPARE(CountColour(image, kUntouched), 99);
}

void CanvasTest::textBackgroundFollowsBrush() {
    for (bool solid : {false, true}) {
        int w = 0, h = 0;
        const QImage image = DrawnImage(60, 30, [&](TCanvas& canvas) {
            canvas.SetFontColor(clBlue);
            canvas.SetFontHeight(14);
            canvas.SetBrushColor(clYellow);
            if (!solid)
                canvas.SetBrushStyle(bsClear);
            canvas.TextOut(2, 2, QStringLiteral("0.25"));
            w = canvas.TextWidth(QStringLiteral("0.25"));
            h = canvas.TextHeight(QStringLiteral("0.25"));
        });
        QVERIFY(w > 0 && h > 0);
        QVERIFY(CountColour(image, Rgb(clBlue)) > 0);
        QCOMPARE(image.pixel(2, 2) == Rgb(clYellow), solid);
        QCOMPARE(image.pixel(2 + w, 2 + h), kUntouched);
    }
}

void CanvasTest::brushColourMakesClearBrushSolid() {
    QImage image = BlankImage(4, 4);
    QPainter painter(&image);
    TCanvas canvas(painter);
    canvas.SetBrushStyle(bsClear);
    canvas.SetBrushColor(clGreen);
    QCOMPARE(canvas.BrushStyle(), bsSolid);
}

void CanvasTest::fontHeightIsPixelHeight() {
    QImage image = BlankImage(4, 4);
    QPainter painter(&image);
    TCanvas canvas(painter);
    QFont courier(QStringLiteral("Courier New"));
    courier.setPointSize(30);
    canvas.SetFont(courier);
    canvas.SetFontHeight(12);
    QCOMPARE(canvas.FontHeight(), 12);
    QCOMPARE(canvas.Font().pixelSize(), 12);
    const int small = canvas.TextWidth(QStringLiteral("MMMM"));
    canvas.SetFontHeight(24);
    QVERIFY(canvas.TextWidth(QStringLiteral("MMMM")) > small);
    canvas.SetFontHeight(0); // keeps the size it has
    QCOMPARE(canvas.FontHeight(), 24);
}

void CanvasTest::pixelTruncation_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("pixel");
    QTest::newRow("down") << 2.9 << 2;
    QTest::newRow("toward zero") << -2.9 << -2;
    QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN() << 0;
    QTest::newRow("huge") << 1e300 << (1 << 24);
    QTest::newRow("huge negative") << -std::numeric_limits<double>::infinity() << -(1 << 24);
}

void CanvasTest::pixelTruncation() {
    QFETCH(double, value);
    QFETCH(int, pixel);
    QCOMPARE(PixelTrunc(value), pixel);
}

// Against the stepping line algorithm, in every direction and slope.
void CanvasTest::lastPixelOfAnyLineInConstantTime() {
    const auto stepped = [](QPoint from, QPoint to) {
        const int dx = std::abs(to.x() - from.x()), sx = from.x() < to.x() ? 1 : -1;
        const int dy = -std::abs(to.y() - from.y()), sy = from.y() < to.y() ? 1 : -1;
        int err = dx + dy, x = from.x(), y = from.y();
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
    };
    const QPoint from(3, -7);
    for (int x = -60; x <= 60; ++x)
        for (int y = -60; y <= 60; ++y)
            QCOMPARE(LastPixelBefore(from, from + QPoint(x, y)),
                     stepped(from, from + QPoint(x, y)));
    const int far = 1 << 24; // PixelTrunc's bound: no overflow
    QCOMPARE(LastPixelBefore({-far, -far}, {far, far - 3}), stepped({-far, -far}, {far, far - 3}));
}

QTEST_MAIN(CanvasTest)
#include "canvas_test.moc"
