// SPDX-License-Identifier: MIT
// One paint of a 600 x 500 polar diagram, 5 series x 20 spokes, every layer
// on, into a QImage; against the same primitives drawn straight with
// QPainter in the same run.
#include "controls/Polardisp.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

constexpr int kW = 600, kH = 500, kRows = 5, kVals = 20, kGrid = 4;
constexpr double kTwoPi = 6.283185307179586;

double Sample(int i, int j) {
    return 0.15 + 0.15 * i + 0.1 * std::sin(j * 0.7 + i);
}

QStringList Labels() {
    QStringList labels;
    for (int j = 0; j < kVals; ++j)
        labels << QStringLiteral("S%1").arg(j + 1);
    return labels;
}

// The diagram filling its parent, with the sample table and labels.
void Fill(TPolarDisp& disp) {
    disp.vLeft = disp.vTop = 0;
    disp.vRight = disp.vBottom = 1;
    disp.Place();
    disp.nRows = kRows;
    disp.nVals = kVals;
    disp.New_Data();
    for (int i = 0; i < kRows; ++i)
        for (int j = 0; j < kVals; ++j)
            disp.Data[i][j] = Sample(i, j);
    disp.SetLabels(Labels());
}

void BM_PolarDispPaint(benchmark::State& state) {
    QWidget parent;
    parent.resize(kW, kH);
    TPolarDisp disp(&parent);
    Fill(disp);
    disp.SetLegs({"top left", "top right", "bottom left", "bottom right"});
    disp.GridOn = disp.TickOn = disp.MarkOn = disp.RangeOn = true;
    disp.DataOn = true;

    QImage image(kW, kH, QImage::Format_RGB32);
    for (auto _ : state) {
        image.fill(Qt::lightGray);
        QPainter painter(&image);
        disp.Paint(painter);
        benchmark::DoNotOptimize(image.constBits());
    }
    if (disp.CheckResult != 0)
        state.SkipWithError("the diagram did not validate");
}
BENCHMARK(BM_PolarDispPaint)->Unit(benchmark::kMicrosecond);

// Any property values paint about as fast as sensible ones: GrRatio puts
// the diagram's rings and spokes far outside the control.
void BM_PolarDispPaintGrRatio(benchmark::State& state) {
    static constexpr double ratios[] = {0.7, 1e3, 1e300, HUGE_VAL, -HUGE_VAL};
    QWidget parent;
    parent.resize(kW, kH);
    TPolarDisp disp(&parent);
    disp.SetReporter([](QWidget*, const QString&, const QString&) {});
    Fill(disp);
    disp.GridOn = disp.TickOn = disp.MarkOn = disp.RangeOn = true;
    disp.GrRatio = ratios[state.range(0)];
    state.SetLabel("GrRatio " + std::to_string(disp.GrRatio));
    QImage image(kW, kH, QImage::Format_RGB32);
    for (auto _ : state) {
        disp.DataOn = true;
        image.fill(Qt::lightGray);
        QPainter painter(&image);
        disp.Paint(painter);
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_PolarDispPaintGrRatio)->DenseRange(0, 4)->Unit(benchmark::kMicrosecond);

// The same picture's primitives with Qt's own pens: the floor any canvas
// layer over QPainter is measured against.
void BM_BareQPainter(benchmark::State& state) {
    const QStringList labels = Labels();
    const QStringList legends{"top left", "top right", "bottom left", "bottom right"};
    const double h = 0.35, g = 0.385;
    const int xm = kW / 2, ym = kH / 2;
    const int sx = static_cast<int>(kW * h), sy = static_cast<int>(kH * h);
    QPen dotted(Qt::black, 0, Qt::CustomDashLine);
    dotted.setDashPattern({3, 3});
    QFont tick(QStringLiteral("Courier New"));
    tick.setPixelSize(20);
    tick.setStyleStrategy(QFont::NoAntialias);
    QFont title = tick;
    title.setPixelSize(22);
    std::vector<QPoint> points(kVals);

    QImage image(kW, kH, QImage::Format_RGB32);
    for (auto _ : state) {
        image.fill(Qt::lightGray);
        QPainter p(&image);
        for (int i = 0; i < kRows; ++i) {
            for (int j = 0; j < kVals; ++j) {
                const double t = j * kTwoPi / kVals;
                points[j] = QPoint(static_cast<int>(std::sin(t) * sx * Sample(i, j) + xm),
                                   static_cast<int>(ym - std::cos(t) * sy * Sample(i, j)));
            }
            p.setPen(i == 0 ? QPen(Qt::black, 0) : dotted);
            p.setBrush(i == 0 ? QBrush(Qt::red) : QBrush(Qt::NoBrush));
            p.drawPolygon(points.data(), kVals);
        }
        p.setBrush(Qt::NoBrush);
        dotted.setColor(Qt::white);
        p.setPen(dotted);
        for (int k = 1; k <= kGrid; ++k)
            p.drawEllipse(QPoint(xm, ym), k * sx / kGrid, k * sy / kGrid);
        p.setPen(QPen(Qt::white, 0));
        for (int j = 0; j < kVals; ++j) {
            const double t = j * kTwoPi / kVals;
            p.drawLine(xm, ym, static_cast<int>(std::sin(t) * sx + xm),
                       static_cast<int>(ym - std::cos(t) * sy));
        }
        p.setFont(tick);
        for (int k = 1; k < kGrid; ++k)
            p.drawText(xm + 3, ym - k * sy / kGrid, QString::asprintf("%4.2f", k * 0.25));
        p.setPen(QPen(Qt::darkGreen, 0));
        p.drawEllipse(QPoint(xm, ym), static_cast<int>(sx * 0.3), static_cast<int>(sy * 0.3));
        p.setPen(QPen(Qt::red, 0));
        p.drawEllipse(QPoint(xm, ym), static_cast<int>(sx * 0.55), static_cast<int>(sy * 0.55));
        p.setFont(title);
        p.setPen(Qt::blue);
        const QFontMetrics fm = p.fontMetrics();
        p.drawText(5, 3 + fm.ascent(), legends[0]);
        p.drawText(kW - 5 - fm.horizontalAdvance(legends[1]), 2 + fm.ascent(), legends[1]);
        p.drawText(5, kH - 3 - fm.descent(), legends[2]);
        p.drawText(kW - 5 - fm.horizontalAdvance(legends[3]), kH - 3 - fm.descent(), legends[3]);
        p.setFont(tick);
        p.setPen(Qt::darkGreen);
        for (int j = 0; j < kVals; ++j) {
            const double t = j * kTwoPi / kVals;
            p.drawText(static_cast<int>(std::sin(t) * kW * g) + xm,
                       ym - static_cast<int>(std::cos(t) * kH * g), labels[j]);
        }
        p.setPen(QPen(Qt::black, 0));
        for (int j = 0; j < kVals; ++j) {
            const double t = j * kTwoPi / kVals;
            p.setBrush(Sample(0, j) < 0.3 ? Qt::darkGreen : Qt::yellow);
            p.drawRect(static_cast<int>(std::sin(t) * sx + xm) - 10,
                       static_cast<int>(ym - std::cos(t) * sy) - 10, 19, 19);
        }
        p.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_BareQPainter)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
