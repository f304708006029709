// SPDX-License-Identifier: MIT
#include "controls/Polardisp.h"

#include "controls/ParentFollower.h"
#include "model/Exception.h"
#include "platform/Canvas.h"

#include <QMessageBox>
#include <QPainter>
#include <QScopedValueRollback>

#include <cmath>
#include <string>
#include <utility>

using namespace nebelkamm;

namespace {

constexpr double TwoPi = 6.283185307179586;

} // namespace

TPolarData::TPolarData(int rows, int vals) {
    if (rows <= 0 || vals <= 0)
        return;
    cells_.assign(static_cast<std::size_t>(rows) * static_cast<std::size_t>(vals), 0.0);
    rows_ = rows;
    vals_ = vals;
}

TPolarDisp::TPolarDisp(QWidget* parent) : QWidget(parent) {
    // Qt paints every widget through a back buffer; the layers drawn over
    // one another do not flicker. The background is the window colour.
    setAutoFillBackground(true);
    vTop = 0.25;
    vLeft = 0.45;
    vRight = 0.75;
    vBottom = 0.6;
    setGeometry(300, 100, 300, 250);
    TitleFnt.setFamily(QStringLiteral("Courier New"));
    TickFnt.setFamily(QStringLiteral("Courier New"));
    maxVal = 1.0;
    GrRatio = 0.7;
    nGrid = 4;
    range_a = 0.3;
    range_b = 0.55;
    TickOn = GridOn = MarkOn = RangeOn = false;
    PolyCol = clRed;
    GridCol = clWhite;
    TitleCol = clBlue;
    TickCol = clGreen;

    Bevel = new QFrame(this);
    Bevel->setGeometry(0, 0, width(), height());
    Bevel->setFrameStyle(QFrame::Box | QFrame::Raised);
    Bevel->setEnabled(false);
    Bevel->setAttribute(Qt::WA_TransparentForMouseEvents);

    // The parent's resize places the control before it paints, so a paint
    // always draws at the size it has.
    new ParentFollower(this, [this] { Place(); });
}

TPolarDisp::~TPolarDisp() = default;

// The lists and fonts stay the control's own; only contents are copied,
// and a list handed its own contents keeps them.
void TPolarDisp::SetLabels(const QStringList& labels) {
    TicLabel = labels;
}

void TPolarDisp::SetLegs(const QStringList& legends) {
    LegList = legends;
}

void TPolarDisp::SetTitleFnt(const QFont& font) {
    TitleFnt = font;
}
void TPolarDisp::SetTickFnt(const QFont& font) {
    TickFnt = font;
}

void TPolarDisp::New_Data() {
    // A table CheckData would refuse anyway is never allocated: huge counts
    // would end the program instead.
    if (nRows > MaxRows || nVals > MaxVals)
        throw nebelkamm::EUsageError("New_Data: " + std::to_string(nRows) + " x " +
                                     std::to_string(nVals) + " values, more than " +
                                     std::to_string(MaxRows) + " series of " +
                                     std::to_string(MaxVals));
    Data = TPolarData(nRows, nVals);
}

void TPolarDisp::Init_Data(double value) {
    if (Data.empty())
        return;
    for (int i = 0; i < std::min(nRows, Data.Rows()); ++i)
        for (int j = 0; j < std::min(nVals, Data.Vals()); ++j)
            Data[i][j] = value;
}

void TPolarDisp::Clear_Data() {
    Data = TPolarData();
    DataOn = false;
}

int TPolarDisp::CheckData() {
    const QString error = QStringLiteral("Error");
    const QString warning = QStringLiteral("Warning");
    if (nVals < 3 || nRows < 1) {
        Message(QStringLiteral("Keine oder zu wenige Daten !"), error);
        return CheckTooFewData;
    }
    if (nRows > MaxRows) {
        Message(QStringLiteral("Zuviele Datenreihen !"), error);
        return CheckTooManySeries;
    }
    if (nVals > MaxVals) {
        Message(QStringLiteral("Zuviele Daten pro Reihe !"), error);
        return CheckTooManyValues;
    }
    // A table smaller than nRows x nVals has too few data for what the
    // counts promise.
    if (!Data.Covers(nRows, nVals)) {
        Message(QStringLiteral("Keine oder zu wenige Daten !"), error);
        return CheckTooFewData;
    }
    int result = CheckOk;
    if (TicLabel.size() < nVals) {
        Message(QStringLiteral("Fehler bei Datenbezeichnung !"), warning);
        result = CheckLabelsMissing;
    }
    if (nGrid > 10) {
        Message(QStringLiteral("Zuviele Gitterlinien -> geändert !"), warning);
        nGrid = 10;
        result = CheckGridReduced;
    }
    for (int i = 0; i < nRows; ++i) {
        for (int j = 0; j < nVals; ++j) {
            const double v = Data[i][j];
            // NaN is no value in any range.
            if (!(std::fabs(v) <= 1e10)) {
                Message(QStringLiteral("Werte außerhalb Bereich !"), error);
                return CheckValueOutOfRange;
            }
            if (std::fabs(v) > maxVal) {
                Message(QStringLiteral("Werte außerhalb Darstellungsbereich ! \n"), warning);
                result = CheckScaleRaised;
                // The magnitude, so that maxVal never turns negative.
                maxVal = 1.1 * std::fabs(v);
            }
            if (v < 0.0) {
                Message(QStringLiteral("Werte < 0.0 -> auf =.0 gesetzt!"), warning);
                Data[i][j] = 0.0;
                result = CheckNegativeZeroed;
            }
        }
    }
    return result;
}

void TPolarDisp::SetReporter(Reporter reporter) {
    reporter_ = std::move(reporter);
}

void TPolarDisp::ShowMessageBox(QWidget* owner, const QString& text, const QString& caption) {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok,
                    owner ? owner->window() : nullptr);
    box.exec();
}

// Inside a paint a modal box would paint again under the open paint, so
// messages wait for the paint's end and are shown right after it.
void TPolarDisp::Message(const QString& text, const QString& caption) {
    if (flushing_)
        return; // a repaint under an open box repeats what is being shown
    const bool flushQueued = !pending_.empty();
    pending_.push_back({text, caption});
    if (!painting_)
        FlushMessages();
    else if (!flushQueued)
        QMetaObject::invokeMethod(this, &TPolarDisp::FlushMessages, Qt::QueuedConnection);
}

void TPolarDisp::FlushMessages() {
    flushing_ = true;
    const auto messages = std::exchange(pending_, {});
    for (const auto& m : messages) {
        if (reporter_)
            reporter_(this, m.text, m.caption);
        else
            ShowMessageBox(this, m.text, m.caption);
    }
    flushing_ = false;
}

QRect TPolarDisp::Placement() const {
    const QWidget* parent = parentWidget();
    const int PW = parent->width();
    const int PH = parent->height();
    return QRect(PixelTrunc(PW * vLeft), PixelTrunc(PH * vTop), PixelTrunc(PW * (vRight - vLeft)),
                 PixelTrunc(PH * (vBottom - vTop)));
}

void TPolarDisp::Place() {
    if (!parentWidget())
        return;
    setGeometry(Placement());
    // A hidden control gets its resize event only when shown.
    Bevel->setGeometry(0, 0, width(), height());
}

void TPolarDisp::resizeEvent(QResizeEvent* event) {
    Bevel->setGeometry(0, 0, width(), height());
    QWidget::resizeEvent(event);
}

void TPolarDisp::paintEvent(QPaintEvent* /*event*/) {
    // Fractions changed since the last resize take effect with a move after
    // this paint, never with a nested one.
    if (parentWidget() && geometry() != Placement())
        QMetaObject::invokeMethod(this, &TPolarDisp::Place, Qt::QueuedConnection);
    QPainter painter(this);
    Paint(painter);
}

void TPolarDisp::Paint(QPainter& painter) {
    // The canvas lives for this paint only, so the font it ends with needs
    // no restoring.
    TCanvas canvas(painter);
    canvas.SetFont(font());
    canvas.Lock();
    const QScopedValueRollback inPaint(painting_, true);

    xMid = width() / 2;
    yMid = height() / 2;
    if (DataOn) {
        CheckResult = CheckData();
        if (CheckResult < 0) {
            DataOn = false;
        } else {
            paintPoly(canvas);
            if (GridOn)
                paintGrid(canvas);
            paintTitle(canvas);
            if (TickOn)
                paintLabel(canvas);
            if (MarkOn)
                paintMarker(canvas);
        }
    }
    canvas.Unlock();
}

QPoint TPolarDisp::SpokeEnd(int j) const {
    const double h = 0.5 * GrRatio;
    const double theta = j * (TwoPi / nVals);
    return {PixelTrunc(std::sin(theta) * (width() * h) + xMid),
            PixelTrunc(yMid - std::cos(theta) * (height() * h))};
}

void TPolarDisp::paintPoly(TCanvas& canvas) {
    // Without a positive full-scale value there is no scale to draw on.
    if (!(maxVal > 0))
        return;
    std::vector<QPoint> points(static_cast<std::size_t>(nVals));
    const double dTheta = TwoPi / nVals;
    const double h = 0.5 * GrRatio;
    const int sx = PixelTrunc(width() * h / maxVal);
    const int sy = PixelTrunc(height() * h / maxVal);

    canvas.SetPenStyle(psSolid);
    canvas.SetPenColor(clBlack);
    canvas.SetBrushColor(PolyCol);
    for (int i = 0; i < nRows; ++i) {
        if (i > 0) {
            canvas.SetPenStyle(psDot);
            canvas.SetBrushStyle(bsClear);
        }
        for (int j = 0; j < nVals; ++j) {
            const double v = Data[i][j];
            const double theta = j * dTheta;
            points[static_cast<std::size_t>(j)] = {PixelTrunc(std::sin(theta) * (sx * v) + xMid),
                                                   PixelTrunc(yMid - std::cos(theta) * (sy * v))};
        }
        canvas.Polygon(points);
    }
    canvas.SetBrushStyle(bsClear);
}

void TPolarDisp::paintGrid(TCanvas& canvas) {
    const int W = width(), H = height();
    const double h = 0.5 * GrRatio;

    canvas.SetPenStyle(psDot);
    canvas.SetPenColor(GridCol);
    canvas.SetFont(TickFnt);
    canvas.SetFontColor(GridCol);
    canvas.SetFontHeight(H / 20);
    if (canvas.FontHeight() > 20)
        canvas.SetFontHeight(20);

    // No rings and no ring values without at least one ring to divide by.
    const int rx = nGrid > 0 ? PixelTrunc(W * h / nGrid) : 0;
    const int ry = nGrid > 0 ? PixelTrunc(H * h / nGrid) : 0;
    for (int k = 1; k <= nGrid; ++k)
        canvas.Ellipse(xMid - k * rx, yMid - k * ry, xMid + k * rx, yMid + k * ry);

    canvas.SetPenStyle(psSolid);
    for (int j = 0; j < nVals; ++j) {
        canvas.MoveTo(xMid, yMid);
        const QPoint end = SpokeEnd(j);
        canvas.LineTo(end.x(), end.y());
    }

    for (int k = 1; k < nGrid; ++k) {
        const QString text = QString::asprintf("%4.2f", k * (maxVal / nGrid));
        const int fh = canvas.FontHeight();
        canvas.TextOut(xMid + 3, yMid - PixelTrunc(fh * 0.8 + k * ry), text);
    }

    if (RangeOn && maxVal > 0) {
        const int sx = PixelTrunc(W * h / maxVal);
        const int sy = PixelTrunc(H * h / maxVal);
        const auto circle = [&](double r, TColor color) {
            const int ax = PixelTrunc(sx * r), ay = PixelTrunc(sy * r);
            canvas.SetPenColor(color);
            canvas.Ellipse(xMid - ax, yMid - ay, xMid + ax, yMid + ay);
        };
        circle(range_a, clGreen);
        circle(range_b, clRed);
    }
}

void TPolarDisp::paintTitle(TCanvas& canvas) {
    const int W = width(), H = height();
    canvas.SetFont(TitleFnt);
    canvas.SetFontColor(TitleCol);
    canvas.SetFontHeight(H / 18);
    if (canvas.FontHeight() > 22)
        canvas.SetFontHeight(22);
    const int fh = canvas.FontHeight();

    const qsizetype n = LegList.size();
    if (n >= 1)
        canvas.TextOut(5, 3, LegList[0]);
    if (n >= 2)
        canvas.TextOut(W - 5 - canvas.TextWidth(LegList[1]), 2, LegList[1]);
    if (n >= 3)
        canvas.TextOut(5, H - 3 - fh, LegList[2]);
    if (n >= 4)
        canvas.TextOut(W - 5 - canvas.TextWidth(LegList[3]), H - 3 - fh, LegList[3]);
}

void TPolarDisp::paintLabel(TCanvas& canvas) {
    const int W = width(), H = height();
    const double dTheta = TwoPi / nVals;
    const double g = 0.55 * GrRatio;

    canvas.SetFontColor(TickCol);
    canvas.SetFontName(QStringLiteral("Courier New"));
    canvas.SetFontHeight(H / 20);
    if (canvas.FontHeight() > 20)
        canvas.SetFontHeight(20);

    for (int j = 0; j < nVals; ++j) {
        // Missing labels are filled in for good.
        if (TicLabel.size() == j)
            TicLabel.append(QStringLiteral("unkn."));
        const QString& L = TicLabel[j];
        const double theta = j * dTheta;
        int dx = PixelTrunc(std::sin(theta) * (W * g));
        int dy = PixelTrunc(std::cos(theta) * (H * g));
        if (dx < 0)
            dx -= canvas.TextWidth(L);
        if (dx == 0)
            dx = PixelTrunc(dx - 0.5 * canvas.TextWidth(L));
        if (dy > 0)
            dy += canvas.TextHeight(L);
        if (dy == 0)
            dy = PixelTrunc(0.5 * canvas.TextHeight(L) + dy);
        canvas.TextOut(xMid + dx, yMid - dy, L);
    }
}

void TPolarDisp::paintMarker(TCanvas& canvas) {
    const int s = canvas.FontHeight() / 2;
    canvas.SetPenStyle(psSolid);
    canvas.SetPenColor(clBlack);
    canvas.SetBrushStyle(bsSolid);
    for (int j = 0; j < nVals; ++j) {
        const QPoint end = SpokeEnd(j);
        const double v = Data[0][j];
        canvas.SetBrushColor(v < range_a ? clGreen : v > range_b ? clRed : clYellow);
        canvas.Rectangle(end.x() - s, end.y() - s, end.x() + s, end.y() + s);
    }
    canvas.SetBrushStyle(bsClear);
}
