// SPDX-License-Identifier: MIT
#pragma once

#include "controls/Displabel.h"
#include "platform/ChartDrawing.h"

#include <QString>

#include <optional>
#include <vector>

class QFontMetrics;
class QPainter;

using nebelkamm::ChartLayout;
using nebelkamm::ChartSeries;

// A line chart as a control: it shows a chart's content (the drawing is
// the content's own, so an image or a file of it is the same picture) on
// the plot frame the control's properties describe. The frame and its
// dotted grid fall on round tick values (1, 2, 5 x 10^n) on both axes,
// labelled with their values; XLabel and YLabel are the axis captions (with
// units), the note a line at the top (such as the operating point); one or
// more curves, antialiased, each knee marked with its value, and a marker
// for the present operating point on the first curve. Labels and the legend
// sit on boxes of their own and never collide.
class TChart : public TDispLabel {
    Q_OBJECT

public:
    // An empty chart filling its parent, frame inset for the tick labels.
    explicit TChart(QWidget* parent = nullptr);

    // Shows the content: its captions, note, curves and marker, its frame.
    void SetContent(nebelkamm::ChartContent content);
    // What is shown, the captions as the properties hold them.
    nebelkamm::ChartContent Content() const;

    // Replaces the curves; both axes take the round range that holds them,
    // y from 0 up when no value is negative.
    void SetSeries(std::vector<ChartSeries> series);
    const std::vector<ChartSeries>& Series() const { return content_.Series; }
    // Marks x on the first curve with a vertical line and the label, when it
    // lies on the x axis; none removes the marker.
    void SetMarker(std::optional<double> x, QString label = {});
    std::optional<double> Marker() const { return content_.Marker; }
    // A line of text at the top, above the plot; empty for none.
    void SetNote(QString note);
    const QString& Note() const { return content_.Note; }
    // The unit after the knees' values ("°C"); empty for none.
    void SetXUnit(QString unit) { content_.XUnit = std::move(unit); }

    // An axis: the round scale over the curves (model/Scale.h).
    using Axis = nebelkamm::Scale;
    const Axis& XAxis() const { return content_.X; }
    const Axis& YAxis() const { return content_.Y; }

    // Where everything lands on a W x H surface whose text is measured by
    // metrics.
    ChartLayout Arrange(int W, int H, const QFontMetrics& metrics) const;
    // The whole chart for a W x H surface; the painter may be open on a
    // widget, a QImage, an SVG generator or a PDF writer.
    void Render(QPainter& painter, int W, int H) const;
    // The plot frame of the control's properties.
    nebelkamm::PlotFrame Frame() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // The frame that fits the content: ticks on its axes, room for its note.
    void FitFrame();

    nebelkamm::ChartContent content_;
};
