// SPDX-License-Identifier: MIT
#pragma once

#include "controls/Displabel.h"
#include "platform/Color.h"

#include <QPointF>
#include <QString>

#include <optional>
#include <vector>

class QPainter;

// One curve of a chart.
struct ChartSeries {
    QString Name;                                // in the legend (shown for two curves or more)
    nebelkamm::TColor Color = nebelkamm::clBlue; // of the line and its knee
    std::vector<QPointF> Points;                 // a NaN y leaves a gap
    std::optional<double> Knee; // x where the curve reaches 0, marked with its value
};

// A line chart drawn on the plot frame it derives from: the frame and its
// dotted grid fall on round tick values (1, 2, 5 x 10^n) on both axes,
// labelled with their values; XLabel and YLabel are the axis captions (with
// units); one or more curves, each knee marked with its value, and a marker
// for the present operating point on the first curve. Paints onto any
// QPaintDevice through Render.
class TChart : public TDispLabel {
    Q_OBJECT

public:
    // An empty chart filling its parent, frame inset for the tick labels.
    explicit TChart(QWidget* parent = nullptr);

    // Replaces the curves; both axes take the round range that holds them.
    void SetSeries(std::vector<ChartSeries> series);
    const std::vector<ChartSeries>& Series() const { return series_; }
    // Marks x on the first curve with a vertical line and the label; none
    // removes the marker.
    void SetMarker(std::optional<double> x, QString label = {});
    std::optional<double> Marker() const { return marker_; }

    // One axis: from Lo to Hi in Intervals steps of Step.
    struct Axis {
        double Lo = 0, Hi = 1, Step = 0.2;
        int Intervals = 5;
    };
    // The round axis over [lo, hi] with at most `most` intervals: a step of
    // 1, 2 or 5 x 10^n, the ends widened to multiples of it.
    static Axis RoundAxis(double lo, double hi, int most);
    const Axis& XAxis() const { return x_; }
    const Axis& YAxis() const { return y_; }

    // The whole chart (background, frame, grid, ticks, captions, curves,
    // knees, marker, legend) for a W x H surface; the painter may be open on
    // a widget, a QImage, an SVG generator or a PDF writer.
    void Render(QPainter& painter, int W, int H) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<ChartSeries> series_;
    std::optional<double> marker_;
    QString markerLabel_;
    Axis x_, y_;
};
