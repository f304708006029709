#include "controls/Displabel.h"

#include "platform/Canvas.h"

#include <QEvent>
#include <QPainter>

#include <algorithm>
#include <utility>

TDispLabel::TDispLabel(QWidget* parent) : QLabel(parent) {
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

// Every setter stores unconditionally and asks for a repaint, even for the
// present value.
void TDispLabel::ShowGrid(bool on) {
    FGridOn = on;
    update();
}
void TDispLabel::SetGridStyle(TPenStyle style) {
    FGridStyle = style;
    update();
}
void TDispLabel::SetXLabel(QString text) {
    FXLabel = std::move(text);
    update();
}
void TDispLabel::SetYLabel(QString text) {
    FYLabel = std::move(text);
    update();
}
void TDispLabel::SetXTick(int ticks) {
    FXTick = ticks;
    update();
}
void TDispLabel::SetYTick(int ticks) {
    FYTick = ticks;
    update();
}
void TDispLabel::SetGridColor(TColor color) {
    FGridColor = color;
    update();
}
void TDispLabel::SetDispColor(TColor color) {
    FDispColor = color;
    update();
}
void TDispLabel::SetGrLeft(double fraction) {
    FGridLeft = fraction;
    update();
}
void TDispLabel::SetGrTop(double fraction) {
    FGridTop = fraction;
    update();
}
void TDispLabel::SetGrWidth(double fraction) {
    FGridWidth = fraction;
    update();
}
void TDispLabel::SetGrHeight(double fraction) {
    FGridHeight = fraction;
    update();
}

void TDispLabel::SetAlign(TAlign align) {
    align_ = align;
    FollowParent();
}

void TDispLabel::FollowParent() {
    QWidget* parent = parentWidget();
    if (watchedParent_ && watchedParent_ != parent)
        watchedParent_->removeEventFilter(this);
    watchedParent_ = nullptr;
    if (align_ != alClient || !parent)
        return;
    watchedParent_ = parent;
    parent->installEventFilter(this);
    setGeometry(parent->contentsRect());
}

bool TDispLabel::event(QEvent* event) {
    if (event->type() == QEvent::ParentChange)
        FollowParent();
    return QLabel::event(event);
}

bool TDispLabel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == watchedParent_ && event->type() == QEvent::Resize && align_ == alClient)
        setGeometry(watchedParent_->contentsRect());
    return QLabel::eventFilter(watched, event);
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
