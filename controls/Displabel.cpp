// SPDX-License-Identifier: MIT
#include "controls/Displabel.h"

#include "controls/ParentFollower.h"
#include "platform/Canvas.h"
#include "platform/ChartDrawing.h"

#include <QPainter>

#include <algorithm>

using namespace nebelkamm;

TDispLabel::TDispLabel(QWidget* parent) : QLabel(parent) {
    new ParentFollower(this, [this] { FillParent(); });
    setAlignment(Qt::AlignLeft | Qt::AlignTop); // the caption stays clear of the frame
    SetAlign(alClient);
    FGridOn = true;
    FGridStyle = psDot;
    FXLabel = QStringLiteral("XLabel");
    FYLabel = QStringLiteral("YLabel");
    FXTick = 5;
    FYTick = 4;
    FGridColor = clBlack;
    FDispColor = clWhite;
    FGridLeft = 0.1;
    FGridTop = 0.1;
    FGridWidth = 0.8;
    FGridHeight = 0.8;
}

TDispLabel::~TDispLabel() = default;

void TDispLabel::SetAlign(TAlign align) {
    align_ = align;
    if (parentWidget())
        FillParent();
}

void TDispLabel::FillParent() {
    if (align_ == alClient)
        setGeometry(parentWidget()->contentsRect());
}

void TDispLabel::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    QPainter painter(this);
    TCanvas canvas(painter);
    Paint(canvas, width(), height());
}

void TDispLabel::Paint(TCanvas& canvas, int W, int H) const {
    PaintPlotFrame(canvas,
                   PlotFrame{.GridOn = FGridOn,
                             .GridStyle = FGridStyle,
                             .XTick = FXTick,
                             .YTick = FYTick,
                             .GridColor = FGridColor,
                             .DispColor = FDispColor,
                             .Left = FGridLeft,
                             .Top = FGridTop,
                             .Width = FGridWidth,
                             .Height = FGridHeight},
                   W, H);
}
