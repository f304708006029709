// SPDX-License-Identifier: MIT
#include "controls/Chart.h"

#include "platform/Canvas.h"
#include "platform/NumberText.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

using namespace nebelkamm;

namespace {

// Decimals that tell the ticks of a step apart: 0.5 needs one, 20 none.
int DecimalsFor(double step) {
    return step >= 1 ? 0 : static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
}

QString Number(double v, int decimals) {
    if (std::fabs(v) < 1e-12)
        v = 0; // no "-0.0" at the origin
    return QString::fromStdString(
        FormatFloat(DisplayPattern(decimals), v, SystemDecimalSeparator()));
}

} // namespace

TChart::TChart(QWidget* parent) : TDispLabel(parent) {
    // Room for the y tick labels on the left, the caption above, the x tick
    // labels and caption below.
    SetGrLeft(0.14);
    SetGrTop(0.1);
    SetGrWidth(0.8);
    SetGrHeight(0.72);
    SetXLabel(QString());
    SetYLabel(QString());
    SetDispColor(clWhite);
    SetGridColor(clBlack);
    SetXTick(x_.Intervals);
    SetYTick(y_.Intervals);
}

TChart::Axis TChart::RoundAxis(double lo, double hi, int most) {
    most = std::max(most, 1);
    if (!std::isfinite(lo) || !std::isfinite(hi)) {
        lo = 0;
        hi = 1;
    }
    if (!(hi > lo)) { // a single value: an axis of one unit around it
        const double half = lo == 0 ? 0.5 : std::fabs(lo) * 0.05;
        lo -= half;
        hi += half;
    }
    const double raw = (hi - lo) / most;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    Axis axis;
    for (double m : {1.0, 2.0, 5.0, 10.0}) {
        const double step = m * magnitude;
        const double first = std::floor(lo / step + 1e-9), last = std::ceil(hi / step - 1e-9);
        axis = {first * step, last * step, step, static_cast<int>(last - first)};
        if (axis.Intervals <= most)
            break;
    }
    axis.Intervals = std::max(axis.Intervals, 1);
    return axis;
}

void TChart::SetSeries(std::vector<ChartSeries> series) {
    series_ = std::move(series);
    double xlo = HUGE_VAL, xhi = -HUGE_VAL, ylo = 0, yhi = -HUGE_VAL;
    for (const ChartSeries& s : series_)
        for (const QPointF& p : s.Points) {
            if (!std::isfinite(p.x()))
                continue;
            xlo = std::min(xlo, p.x());
            xhi = std::max(xhi, p.x());
            if (std::isfinite(p.y())) {
                ylo = std::min(ylo, p.y());
                yhi = std::max(yhi, p.y());
            }
        }
    if (yhi < ylo)
        yhi = 1;
    x_ = RoundAxis(xlo, xhi, 8);
    y_ = RoundAxis(ylo, yhi, 6);
    SetXTick(x_.Intervals);
    SetYTick(y_.Intervals);
    update();
}

void TChart::SetMarker(std::optional<double> x, QString label) {
    marker_ = x;
    markerLabel_ = std::move(label);
    update();
}

void TChart::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    Render(painter, width(), height());
}

void TChart::Render(QPainter& painter, int W, int H) const {
    TCanvas canvas(painter);
    canvas.SetFont(font());
    canvas.SetPenStyle(psClear);
    canvas.SetBrushColor(clWhite);
    canvas.Rectangle(0, 0, W + 1, H + 1);
    Paint(canvas, W, H); // frame and grid

    // The frame and grid as the plot frame computes them; values map onto
    // the grid's whole-pixel steps, so ticks sit exactly on its lines.
    const int L = PixelTrunc(W * GetGrLeft());
    const int T = PixelTrunc(H * GetGrTop());
    const int R = PixelTrunc(W * (GetGrLeft() + GetGrWidth()));
    const int B = PixelTrunc(H * (GetGrTop() + GetGrHeight()));
    const int stepX = (R - L) / x_.Intervals;
    const int stepY = (B - T) / y_.Intervals;
    const auto px = [&](double x) { return L + PixelTrunc((x - x_.Lo) / x_.Step * stepX); };
    const auto py = [&](double y) { return T + PixelTrunc((y_.Hi - y) / y_.Step * stepY); };
    const int th = canvas.TextHeight(QStringLiteral("0"));

    canvas.SetBrushStyle(bsClear);
    canvas.SetFontColor(clBlack);
    const int dx = DecimalsFor(x_.Step), dy = DecimalsFor(y_.Step);
    for (int k = 0; k <= x_.Intervals; ++k) {
        const QString text = Number(x_.Lo + k * x_.Step, dx);
        canvas.TextOut(L + k * stepX - canvas.TextWidth(text) / 2, B + 3, text);
    }
    for (int k = 0; k <= y_.Intervals; ++k) {
        const QString text = Number(y_.Hi - k * y_.Step, dy);
        canvas.TextOut(L - 4 - canvas.TextWidth(text), T + k * stepY - th / 2, text);
    }
    const QString xCaption = GetXLabel(), yCaption = GetYLabel();
    canvas.TextOut((L + R - canvas.TextWidth(xCaption)) / 2, B + 5 + th, xCaption);
    canvas.TextOut(std::max(2, L - canvas.TextWidth(QStringLiteral("0000"))),
                   std::max(1, T - th - 4), yCaption);

    // The curves, two pixels wide, broken where a point failed.
    canvas.SetPenStyle(psSolid);
    for (const ChartSeries& s : series_) {
        canvas.SetPenColor(s.Color);
        canvas.SetPenWidth(2);
        bool drawing = false;
        for (const QPointF& p : s.Points) {
            if (!std::isfinite(p.x()) || !std::isfinite(p.y())) {
                drawing = false;
                continue;
            }
            if (drawing)
                canvas.LineTo(px(p.x()), py(p.y()));
            else
                canvas.MoveTo(px(p.x()), py(p.y()));
            drawing = true;
        }
        canvas.SetPenWidth(1);
    }

    // Each knee: a diamond where the curve reaches 0, and its x value; the
    // values stacked, since knees of similar curves lie close together.
    int knees = 0;
    for (const ChartSeries& s : series_) {
        if (!s.Knee)
            continue;
        const int lift = (th + 2) * knees++;
        const int kx = px(*s.Knee), ky = py(0);
        const QPoint diamond[] = {{kx, ky - 5}, {kx + 5, ky}, {kx, ky + 5}, {kx - 5, ky}};
        canvas.SetPenColor(clBlack);
        canvas.SetBrushColor(s.Color);
        canvas.Polygon(diamond);
        canvas.SetBrushStyle(bsClear);
        canvas.SetFontColor(s.Color);
        canvas.TextOut(kx + 7, ky - th - 6 - lift, Number(*s.Knee, dx + 1));
    }

    // The present point on the first curve.
    if (marker_ && !series_.empty() && std::isfinite(*marker_)) {
        const auto& pts = series_.front().Points;
        double y = std::nan("");
        for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
            const QPointF a = pts[i], b = pts[i + 1];
            if ((a.x() - *marker_) * (b.x() - *marker_) <= 0 && a.x() != b.x()) {
                y = a.y() + (b.y() - a.y()) * (*marker_ - a.x()) / (b.x() - a.x());
                break;
            }
        }
        const int mx = px(*marker_);
        canvas.SetPenColor(clRed);
        canvas.SetPenStyle(psDash);
        canvas.MoveTo(mx, T);
        canvas.LineTo(mx, B);
        canvas.SetPenStyle(psSolid);
        if (std::isfinite(y)) {
            const int my = py(y);
            canvas.SetBrushColor(clRed);
            canvas.Ellipse(mx - 4, my - 4, mx + 5, my + 5);
            canvas.SetBrushStyle(bsClear);
            canvas.SetFontColor(clRed);
            const int w = canvas.TextWidth(markerLabel_);
            const int tx = mx + 8 + w < R ? mx + 8 : mx - 8 - w;
            canvas.TextOut(tx, std::max(T + 2, my - th - 4), markerLabel_);
        }
    }

    // A legend for two curves or more, inside the frame's top right.
    if (series_.size() > 1) {
        int widest = 0;
        for (const ChartSeries& s : series_)
            widest = std::max(widest, canvas.TextWidth(s.Name));
        const int lx = R - widest - 34;
        int ly = T + 6;
        for (const ChartSeries& s : series_) {
            canvas.SetPenColor(s.Color);
            canvas.SetPenWidth(2);
            canvas.MoveTo(lx, ly + th / 2);
            canvas.LineTo(lx + 22, ly + th / 2);
            canvas.SetPenWidth(1);
            canvas.SetFontColor(clBlack);
            canvas.TextOut(lx + 26, ly, s.Name);
            ly += th + 2;
        }
    }
}
