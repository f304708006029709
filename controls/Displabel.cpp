// SPDX-License-Identifier: MIT
#include "controls/Displabel.h"

#include "controls/ParentFollower.h"
#include "platform/Canvas.h"

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
    // Right and bottom come from the summed fractions, each product cut
    // toward zero.
    const int Left = PixelTrunc(W * FGridLeft);
    const int Top = PixelTrunc(H * FGridTop);
    const int Right = PixelTrunc(W * (FGridLeft + FGridWidth));
    const int Bottom = PixelTrunc(H * (FGridTop + FGridHeight));

    canvas.SetBrushColor(FDispColor);
    canvas.SetPenColor(FGridColor);
    canvas.SetPenStyle(psSolid);
    canvas.SetPenWidth(1);
    canvas.Rectangle(Left, Top, Right, Bottom);
    if (!FGridOn)
        return;

    canvas.SetPenStyle(FGridStyle);
    // A count below 2 draws no lines in its direction; 0 must not divide.
    const int StepX = FXTick > 1 ? (Right - Left) / FXTick : 0;
    const int StepY = FYTick > 1 ? (Bottom - Top) / FYTick : 0;
    // With a step of 0 every line falls on the same pixels: one will do.
    const int linesX = StepX == 0 ? std::min(FXTick - 1, 1) : FXTick - 1;
    const int linesY = StepY == 0 ? std::min(FYTick - 1, 1) : FYTick - 1;
    // Lines outside the control would be clipped away; a frame far larger
    // than the control must not cost one pass per invisible line.
    for (int i = 1; i <= linesX; ++i) {
        const int x = Left + i * StepX;
        if (x < 0 || x >= W)
            continue;
        canvas.MoveTo(x, Top);
        canvas.LineTo(x, Bottom);
    }
    for (int j = 1; j <= linesY; ++j) {
        const int y = Top + j * StepY;
        if (y < 0 || y >= H)
            continue;
        canvas.MoveTo(Left, y);
        canvas.LineTo(Right, y);
    }
}
