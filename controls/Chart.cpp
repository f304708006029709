// SPDX-License-Identifier: MIT
#include "controls/Chart.h"

#include <QFontMetrics>
#include <QPainter>

using namespace nebelkamm;

TChart::TChart(QWidget* parent) : TDispLabel(parent) {
    SetXLabel(QString());
    SetYLabel(QString());
    FitFrame();
}

void TChart::FitFrame() {
    const PlotFrame f = content_.Frame();
    ShowGrid(f.GridOn);
    SetGridStyle(f.GridStyle);
    SetXTick(f.XTick);
    SetYTick(f.YTick);
    SetGridColor(f.GridColor);
    SetDispColor(f.DispColor);
    SetGrLeft(f.Left);
    SetGrTop(f.Top);
    SetGrWidth(f.Width);
    SetGrHeight(f.Height);
}

void TChart::SetContent(ChartContent content) {
    content_ = std::move(content);
    SetXLabel(content_.XLabel);
    SetYLabel(content_.YLabel);
    FitFrame();
}

ChartContent TChart::Content() const {
    ChartContent content = content_;
    content.XLabel = GetXLabel();
    content.YLabel = GetYLabel();
    return content;
}

void TChart::SetSeries(std::vector<ChartSeries> series) {
    content_.SetSeries(std::move(series));
    SetXTick(content_.X.Intervals);
    SetYTick(content_.Y.Intervals);
}

void TChart::SetMarker(std::optional<double> x, QString label) {
    content_.Marker = x;
    content_.MarkerLabel = std::move(label);
    update();
}

void TChart::SetNote(QString note) {
    content_.Note = std::move(note);
    const PlotFrame f = content_.Frame();
    SetGrTop(f.Top);
    SetGrHeight(f.Height);
}

PlotFrame TChart::Frame() const {
    return PlotFrame{.GridOn = GridVisible(),
                     .GridStyle = GetGridStyle(),
                     .XTick = GetXTick(),
                     .YTick = GetYTick(),
                     .GridColor = GetGridColor(),
                     .DispColor = GetDispColor(),
                     .Left = GetGrLeft(),
                     .Top = GetGrTop(),
                     .Width = GetGrWidth(),
                     .Height = GetGrHeight()};
}

ChartLayout TChart::Arrange(int W, int H, const QFontMetrics& metrics) const {
    return ArrangeChart(content_, Frame(), W, H, metrics);
}

void TChart::Render(QPainter& painter, int W, int H) const {
    PaintChart(painter, Content(), Frame(), font(), W, H);
}

void TChart::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    Render(painter, width(), height());
}
