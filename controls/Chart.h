// SPDX-License-Identifier: MIT
#pragma once

#include "controls/Displabel.h"
#include "model/Scale.h"
#include "platform/Color.h"

#include <QPointF>
#include <QRect>
#include <QString>

#include <optional>
#include <vector>

class QFontMetrics;
class QPainter;

// One curve of a chart.
struct ChartSeries {
    QString Name;                                // in the legend (shown for two names or more)
    nebelkamm::TColor Color = nebelkamm::clBlue; // of the line and its knee
    std::vector<QPointF> Points;                 // a NaN y leaves a gap
    bool Drawn = true;          // false: the points only carry the present point's marker
    std::optional<double> Knee; // x where the curve reaches 0, marked with its value
    QString Remark;             // said in the plot area in the curve's colour
};

// Where everything of a chart lands at one size: what Render paints, and
// what a test can check without looking at pixels.
struct ChartLayout {
    QRect Plot;                     // the frame, its lines included
    std::vector<QPoint> Knees;      // each knee's diamond, in the order of the curves
    std::optional<QPoint> Marker;   // the present point's dot
    QRect Legend;                   // empty without a legend
    std::vector<QRect> LegendTexts; // each entry's name, where it is written
    struct Label {
        QString Text;
        QRect Box;
        nebelkamm::TColor Color;
    };
    // The present point's label, the knee labels and the remarks, each on a
    // box of its own that overlaps no diamond, the dot or the frame and
    // keeps three blank pixels from every other box and the legend; the
    // text keeps two from its box's frame.
    std::vector<Label> Labels;
};

// A line chart drawn on the plot frame it derives from: the frame and its
// dotted grid fall on round tick values (1, 2, 5 x 10^n) on both axes,
// labelled with their values; XLabel and YLabel are the axis captions (with
// units), the note a line at the top (such as the operating point); one or
// more curves, antialiased, each knee marked with its value, and a marker
// for the present operating point on the first curve. Labels and the legend
// sit on boxes of their own and never collide. Paints onto any
// QPaintDevice through Render.
class TChart : public TDispLabel {
    Q_OBJECT

public:
    // An empty chart filling its parent, frame inset for the tick labels.
    explicit TChart(QWidget* parent = nullptr);

    // Replaces the curves; both axes take the round range that holds them,
    // y from 0 up when no value is negative.
    void SetSeries(std::vector<ChartSeries> series);
    const std::vector<ChartSeries>& Series() const { return series_; }
    // Marks x on the first curve with a vertical line and the label, when it
    // lies on the x axis; none removes the marker.
    void SetMarker(std::optional<double> x, QString label = {});
    std::optional<double> Marker() const { return marker_; }
    // A line of text at the top, above the plot; empty for none.
    void SetNote(QString note);
    const QString& Note() const { return note_; }
    // The unit after the knees' values ("°C"); empty for none.
    void SetXUnit(QString unit) { xUnit_ = std::move(unit); }

    // An axis: the round scale over the curves (model/Scale.h).
    using Axis = nebelkamm::Scale;
    const Axis& XAxis() const { return x_; }
    const Axis& YAxis() const { return y_; }

    // Where everything lands on a W x H surface whose text is measured by
    // metrics.
    ChartLayout Arrange(int W, int H, const QFontMetrics& metrics) const;
    // The whole chart (background, frame, grid, ticks, captions, note,
    // curves, knees, marker, labels, legend) for a W x H surface; the
    // painter may be open on a widget, a QImage, an SVG generator or a PDF
    // writer.
    void Render(QPainter& painter, int W, int H) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Frame;
    Frame FrameAt(int W, int H) const;
    bool MarkerShown() const;
    std::optional<double> MarkerY() const;
    void PaintAxes(class nebelkamm::TCanvas& canvas, const Frame& f, int W, int H) const;
    void PaintCurves(QPainter& painter, const Frame& f, const ChartLayout& layout) const;
    void PaintLabels(QPainter& painter, const ChartLayout& layout) const;

    std::vector<ChartSeries> series_;
    std::optional<double> marker_;
    QString markerLabel_;
    QString note_, xUnit_;
    Axis x_, y_;
};
