// SPDX-License-Identifier: MIT
#pragma once

#include "model/Scale.h"
#include "platform/ChartFormats.h"
#include "platform/Color.h"
#include "platform/Styles.h"

#include <QByteArray>
#include <QFont>
#include <QPointF>
#include <QRect>
#include <QSize>
#include <QString>

#include <optional>
#include <vector>

class QFontMetrics;
class QPainter;

namespace nebelkamm {

class TCanvas;

// A plot frame: a rectangle placed by fractions of the surface, filled,
// outlined and divided by an evenly spaced grid.
struct PlotFrame {
    bool GridOn = true;
    TPenStyle GridStyle = psDot;
    int XTick = 5, YTick = 4; // cells across and down (no lines below 2)
    TColor GridColor = clBlack, DispColor = clWhite;
    double Left = 0.1, Top = 0.1, Width = 0.8, Height = 0.8;
};

// The frame and grid over whatever the canvas holds, on a W x H surface.
void PaintPlotFrame(TCanvas& canvas, const PlotFrame& frame, int W, int H);

// One curve of a chart.
struct ChartSeries {
    QString Name;                // in the legend (shown for two names or more)
    TColor Color = clBlue;       // of the line and its knee
    std::vector<QPointF> Points; // a NaN y leaves a gap
    bool Drawn = true;           // false: the points only carry the present point's marker
    std::optional<double> Knee;  // x where the curve reaches 0, marked with its value
    QString Remark;              // said in the plot area in the curve's colour
};

// Where everything of a chart lands at one size: what PaintChart paints,
// and what a test can check without looking at pixels.
struct ChartLayout {
    QRect Plot;                     // the frame, its lines included
    std::vector<QPoint> Knees;      // each knee's diamond, in the order of the curves
    std::optional<QPoint> Marker;   // the present point's dot
    QRect Legend;                   // empty without a legend
    std::vector<QRect> LegendTexts; // each entry's name, where it is written
    struct Label {
        QString Text;
        QRect Box;
        TColor Color;
    };
    // The present point's label, the knee labels and the remarks, each on a
    // box of its own that overlaps no diamond, the dot or the frame and
    // keeps three blank pixels from every other box and the legend; the
    // text keeps two from its box's frame.
    std::vector<Label> Labels;
};

// What a line chart shows, as a value: the curves, both axes on round
// ticks (1, 2, 5 x 10^n) that hold them, the captions (with units), a note
// at the top (such as the operating point), and a marker for the present
// operating point on the first curve.
struct ChartContent {
    std::vector<ChartSeries> Series;
    std::optional<double> Marker; // x on the first curve
    QString MarkerLabel;
    QString Note;  // a line at the top; empty for none
    QString XUnit; // after the knees' values ("°C"); empty for none
    QString XLabel, YLabel;
    Scale X, Y;

    // Replaces the curves; both axes take the round range that holds them,
    // y from 0 up when no value is negative.
    void SetSeries(std::vector<ChartSeries> series);
    // Whether the marker lies on the x axis.
    bool MarkerShown() const;
    // The first curve's value at the marker, between the points that bracket it.
    std::optional<double> MarkerY() const;
    // The plot frame it is drawn on: room for the tick labels and captions
    // around it, a second line above for the note, the grid on the ticks.
    PlotFrame Frame() const;
};

// Where everything lands on a W x H surface whose text is measured by
// metrics, for the content on the frame.
ChartLayout ArrangeChart(const ChartContent& chart, const PlotFrame& frame, int W, int H,
                         const QFontMetrics& metrics);

// The whole chart (background, frame, grid, ticks, captions, note, curves,
// knees, marker, labels, legend) for a W x H surface in the font; a
// constant function of the content, so that a window, an image, an SVG
// generator or a PDF writer get the same picture.
void PaintChart(QPainter& painter, const ChartContent& chart, const PlotFrame& frame,
                const QFont& font, int W, int H);

// The chart at the given size as the bytes of a file of the format. Throws
// EOutputError when it cannot be drawn.
QByteArray ChartFileBytes(const ChartContent& chart, const PlotFrame& frame, const QFont& font,
                          const ChartFormat& format, QSize size);

} // namespace nebelkamm
