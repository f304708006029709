// SPDX-License-Identifier: MIT
#include "platform/ChartDrawing.h"

#include "model/Exception.h"
#include "platform/Canvas.h"
#include "platform/NumberText.h"

#include <QBuffer>
#include <QFontMetrics>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QSvgGenerator>

#include <algorithm>
#include <cmath>
#include <span>
#include <string>

namespace nebelkamm {
namespace {

constexpr int Pad = 3;     // between a label's text and its box's edge: the frame, two blank
constexpr int Space = 3;   // blank between two boxes
constexpr int Gap = 7;     // between a mark and its label
constexpr int Sample = 22; // a legend entry's line

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

QSize BoxFor(const QFontMetrics& m, const QString& text) {
    return {m.horizontalAdvance(text) + 2 * Pad, m.height() + 2 * Pad};
}

// Whether a box lies inside the plot, off its frame lines, and clear of
// everything placed.
bool Free(const QRect& box, const QRect& plot, const std::vector<QRect>& taken) {
    if (!plot.adjusted(1, 1, -1, -1).contains(box))
        return false;
    return std::none_of(taken.begin(), taken.end(),
                        [&box](const QRect& r) { return r.intersects(box); });
}

// A place for a box beside a mark: its four corners and above and below
// it, then the same moved up and down in steps of its height.
std::optional<QRect> Place(QSize size, QPoint at, const QRect& plot,
                           const std::vector<QRect>& taken, bool centred) {
    const int w = size.width(), h = size.height();
    const QPoint beside[] = {{at.x() + Gap, at.y() - Gap - h},     {at.x() + Gap, at.y() + Gap},
                             {at.x() - Gap - w, at.y() - Gap - h}, {at.x() - Gap - w, at.y() + Gap},
                             {at.x() - w / 2, at.y() - Gap - h},   {at.x() - w / 2, at.y() + Gap}};
    const QPoint middle[] = {{at.x() - w / 2, at.y() - h / 2}};
    const int steps = plot.height() / (h + 2) + 1;
    for (int step = 0; step <= steps; ++step)
        for (const int sign : {-1, 1}) {
            if (step == 0 && sign > 0)
                continue;
            const int dy = sign * step * (h + 2);
            for (const QPoint p :
                 centred ? std::span<const QPoint>(middle) : std::span<const QPoint>(beside)) {
                const QRect box(QPoint(p.x(), p.y() + dy), size);
                if (Free(box, plot, taken))
                    return box;
            }
        }
    return std::nullopt;
}

// The label placed, shortened when it fits nowhere whole; none when it fits
// nowhere at all.
void PlaceLabel(ChartLayout& layout, std::vector<QRect>& taken, const QFontMetrics& m, QString text,
                TColor color, QPoint at, bool centred) {
    const int full = m.horizontalAdvance(text);
    for (const int percent : {100, 75, 50, 30}) {
        const QString shown =
            percent == 100 ? text : m.elidedText(text, Qt::ElideRight, full * percent / 100);
        if (const auto box = Place(BoxFor(m, shown), at, layout.Plot, taken, centred)) {
            layout.Labels.push_back({shown, *box, color});
            taken.push_back(box->adjusted(-Space, -Space, Space, Space));
            return;
        }
    }
}

// The legend's box in the corner of the plot that covers no mark.
QRect LegendBox(QSize size, const QRect& plot, const std::vector<QRect>& marks) {
    const QRect inner = plot.adjusted(4, 4, -4, -4);
    const QPoint corners[] = {
        {inner.right() - size.width() + 1, inner.top()},
        {inner.left(), inner.top()},
        {inner.right() - size.width() + 1, inner.bottom() - size.height() + 1},
        {inner.left(), inner.bottom() - size.height() + 1}};
    for (const QPoint c : corners)
        if (Free(QRect(c, size), plot, marks))
            return QRect(c, size);
    return QRect(corners[0], size);
}

struct Frame {
    int L, T, R, B, stepX, stepY;
    Scale x, y;
    double X(double v) const { return L + (v - x.Lo) / x.Step * stepX; }
    double Y(double v) const { return T + (y.Hi - v) / y.Step * stepY; }
    QPoint Pixel(double vx, double vy) const { return {PixelTrunc(X(vx)), PixelTrunc(Y(vy))}; }
};

Frame FrameAt(const ChartContent& c, const PlotFrame& frame, int W, int H) {
    // The frame and grid as the plot frame computes them; values map onto
    // the grid's whole-pixel steps, so ticks sit exactly on its lines.
    Frame f{};
    f.L = PixelTrunc(W * frame.Left);
    f.T = PixelTrunc(H * frame.Top);
    f.R = PixelTrunc(W * (frame.Left + frame.Width));
    f.B = PixelTrunc(H * (frame.Top + frame.Height));
    f.stepX = (f.R - f.L) / c.X.Intervals;
    f.stepY = (f.B - f.T) / c.Y.Intervals;
    f.x = c.X;
    f.y = c.Y;
    return f;
}

void PaintAxes(TCanvas& canvas, const ChartContent& c, const QFont& font, const Frame& f, int W,
               int H) {
    const int th = canvas.TextHeight(QStringLiteral("0"));
    canvas.SetBrushStyle(bsClear);
    canvas.SetFontColor(clBlack);
    const int dx = DecimalsFor(c.X.Step), dy = DecimalsFor(c.Y.Step);
    for (int k = 0; k <= c.X.Intervals; ++k) {
        const QString text = Number(c.X.Lo + k * c.X.Step, dx);
        canvas.TextOut(f.L + k * f.stepX - canvas.TextWidth(text) / 2, f.B + 3, text);
    }
    for (int k = 0; k <= c.Y.Intervals; ++k) {
        const QString text = Number(c.Y.Hi - k * c.Y.Step, dy);
        canvas.TextOut(f.L - 4 - canvas.TextWidth(text), f.T + k * f.stepY - th / 2, text);
    }
    const QString xCaption = c.XLabel, yCaption = c.YLabel;
    canvas.TextOut((f.L + f.R - canvas.TextWidth(xCaption)) / 2, f.B + 5 + th, xCaption);
    canvas.TextOut(std::max(2, f.L - canvas.TextWidth(QStringLiteral("0000"))),
                   std::max(1, f.T - th - 4), yCaption);
    if (!c.Note.isEmpty()) {
        const QString note = QFontMetrics(font).elidedText(c.Note, Qt::ElideRight, W - 8);
        canvas.TextOut(std::max(4, (W - canvas.TextWidth(note)) / 2),
                       std::max(1, std::min(4, H / 50)), note);
    }
}

void PaintCurves(QPainter& painter, const ChartContent& c, const Frame& f,
                 const ChartLayout& layout) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    for (const ChartSeries& s : c.Series) {
        if (!s.Drawn)
            continue;
        painter.setPen(QPen(ToQColor(s.Color), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        QPainterPath path;
        bool drawing = false;
        for (const QPointF& p : s.Points) {
            if (!std::isfinite(p.x()) || !std::isfinite(p.y())) {
                drawing = false;
                continue;
            }
            const QPointF at(f.X(p.x()), f.Y(p.y()));
            drawing ? path.lineTo(at) : path.moveTo(at);
            drawing = true;
        }
        painter.drawPath(path);
    }
    // Each knee: a diamond where the curve reaches 0.
    std::size_t k = 0;
    for (const ChartSeries& s : c.Series) {
        if (!s.Knee)
            continue;
        const QPoint at = layout.Knees[k++];
        const QPointF diamond[] = {QPointF(at.x(), at.y() - 5), QPointF(at.x() + 5, at.y()),
                                   QPointF(at.x(), at.y() + 5), QPointF(at.x() - 5, at.y())};
        painter.setPen(QPen(Qt::black, 1));
        painter.setBrush(ToQColor(s.Color));
        painter.drawPolygon(diamond, 4);
    }
    if (layout.Marker) {
        painter.setPen(QPen(Qt::red, 1));
        painter.setBrush(Qt::red);
        painter.drawEllipse(QPointF(*layout.Marker), 4.5, 4.5);
    }
    painter.restore();
}

void PaintLabels(QPainter& painter, const ChartContent& c, const QFont& font,
                 const ChartLayout& layout) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setFont(font);
    const QFontMetrics m(font, painter.device());
    const auto box = [&painter](const QRect& r, QColor edge) {
        painter.setPen(edge);
        painter.setBrush(Qt::white);
        painter.drawRect(r.adjusted(0, 0, -1, -1));
    };
    if (!layout.Legend.isEmpty()) {
        box(layout.Legend, QColor(160, 160, 160));
        std::size_t k = 0;
        for (const ChartSeries& s : c.Series) {
            if (s.Name.isEmpty())
                continue;
            const QRect text = layout.LegendTexts[k++];
            const int mid = text.center().y();
            painter.setPen(QPen(ToQColor(s.Color), 2));
            painter.drawLine(text.left() - 4 - Sample + 1, mid, text.left() - 4, mid);
            painter.setPen(Qt::black);
            painter.drawText(QPoint(text.left(), text.top() + m.ascent()), s.Name);
        }
    }
    for (const ChartLayout::Label& label : layout.Labels) {
        box(label.Box, ToQColor(label.Color).lighter(170));
        painter.setPen(ToQColor(label.Color));
        painter.drawText(label.Box, Qt::AlignCenter, label.Text);
    }
    painter.restore();
}

} // namespace

void PaintPlotFrame(TCanvas& canvas, const PlotFrame& frame, int W, int H) {
    // Right and bottom come from the summed fractions, each product cut
    // toward zero.
    const int Left = PixelTrunc(W * frame.Left);
    const int Top = PixelTrunc(H * frame.Top);
    const int Right = PixelTrunc(W * (frame.Left + frame.Width));
    const int Bottom = PixelTrunc(H * (frame.Top + frame.Height));

    canvas.SetBrushColor(frame.DispColor);
    canvas.SetPenColor(frame.GridColor);
    canvas.SetPenStyle(psSolid);
    canvas.SetPenWidth(1);
    canvas.Rectangle(Left, Top, Right, Bottom);
    if (!frame.GridOn)
        return;

    canvas.SetPenStyle(frame.GridStyle);
    // A count below 2 draws no lines in its direction; 0 must not divide.
    const int StepX = frame.XTick > 1 ? (Right - Left) / frame.XTick : 0;
    const int StepY = frame.YTick > 1 ? (Bottom - Top) / frame.YTick : 0;
    // With a step of 0 every line falls on the same pixels: one will do.
    const int linesX = StepX == 0 ? std::min(frame.XTick - 1, 1) : frame.XTick - 1;
    const int linesY = StepY == 0 ? std::min(frame.YTick - 1, 1) : frame.YTick - 1;
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

void ChartContent::SetSeries(std::vector<ChartSeries> series) {
    Series = std::move(series);
    double xlo = HUGE_VAL, xhi = -HUGE_VAL, ylo = 0, yhi = 0;
    for (const ChartSeries& s : Series)
        for (const QPointF& p : s.Points) {
            if (!std::isfinite(p.x()))
                continue;
            xlo = std::min(xlo, p.x());
            xhi = std::max(xhi, p.x());
            if (s.Drawn && std::isfinite(p.y())) {
                ylo = std::min(ylo, p.y());
                yhi = std::max(yhi, p.y());
            }
        }
    if (!(yhi > ylo)) // nothing above 0: an axis from 0 up, never one around it
        yhi = ylo + 1;
    X = RoundScale(xlo, xhi, 8);
    Y = RoundScale(ylo, yhi, 6);
}

bool ChartContent::MarkerShown() const {
    return Marker && std::isfinite(*Marker) && *Marker >= X.Lo && *Marker <= X.Hi;
}

std::optional<double> ChartContent::MarkerY() const {
    if (!MarkerShown() || Series.empty())
        return std::nullopt;
    const auto& pts = Series.front().Points;
    for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
        const QPointF a = pts[i], b = pts[i + 1];
        if ((a.x() - *Marker) * (b.x() - *Marker) <= 0 && a.x() != b.x()) {
            const double y = a.y() + (b.y() - a.y()) * (*Marker - a.x()) / (b.x() - a.x());
            if (std::isfinite(y))
                return y;
        }
    }
    return std::nullopt;
}

PlotFrame ChartContent::Frame() const {
    // Room for the y tick labels and the caption on the left, the note
    // (a second line) and the y caption above, the x tick labels and
    // caption below; the grid on the ticks.
    return PlotFrame{.GridOn = true,
                     .GridStyle = psDot,
                     .XTick = X.Intervals,
                     .YTick = Y.Intervals,
                     .GridColor = clBlack,
                     .DispColor = clWhite,
                     .Left = 0.14,
                     .Top = Note.isEmpty() ? 0.1 : 0.16,
                     .Width = 0.8,
                     .Height = Note.isEmpty() ? 0.72 : 0.66};
}

ChartLayout ArrangeChart(const ChartContent& c, const PlotFrame& frame, int W, int H,
                         const QFontMetrics& m) {
    const Frame f = FrameAt(c, frame, W, H);
    ChartLayout layout;
    layout.Plot = QRect(QPoint(f.L, f.T), QPoint(f.R, f.B)); // its lines included
    std::vector<QRect> taken; // the marks first, then every box placed
    for (const ChartSeries& s : c.Series)
        if (s.Knee) {
            layout.Knees.push_back(f.Pixel(*s.Knee, 0));
            taken.emplace_back(layout.Knees.back() - QPoint(6, 6), QSize(13, 13));
        }
    if (const auto y = c.MarkerY()) {
        layout.Marker = f.Pixel(*c.Marker, *y);
        taken.emplace_back(*layout.Marker - QPoint(5, 5), QSize(11, 11));
    }
    const auto named = std::count_if(c.Series.begin(), c.Series.end(),
                                     [](const ChartSeries& s) { return !s.Name.isEmpty(); });
    if (named > 1) {
        int widest = 0;
        for (const ChartSeries& s : c.Series)
            widest = std::max(widest, m.horizontalAdvance(s.Name));
        const QSize size(widest + Sample + 4 + 2 * Pad, int(named) * (m.height() + 2) + 2 * Pad);
        layout.Legend = LegendBox(size, layout.Plot, taken);
        taken.push_back(layout.Legend.adjusted(-Space, -Space, Space, Space));
        int y = layout.Legend.top() + Pad;
        for (const ChartSeries& s : c.Series)
            if (!s.Name.isEmpty()) {
                layout.LegendTexts.emplace_back(layout.Legend.left() + Pad + Sample + 4, y,
                                                m.horizontalAdvance(s.Name), m.height());
                y += m.height() + 2;
            }
    }
    if (c.MarkerShown() && !c.MarkerLabel.isEmpty()) {
        const QPoint at = layout.Marker.value_or(QPoint(f.Pixel(*c.Marker, c.Y.Hi).x(), f.T + 6));
        PlaceLabel(layout, taken, m, c.MarkerLabel, clRed, at, false);
    }
    // Knee values one decimal finer than the ticks, so that two close knees
    // read apart.
    const int dx = DecimalsFor(c.X.Step) + 1;
    std::size_t k = 0;
    for (const ChartSeries& s : c.Series)
        if (s.Knee)
            PlaceLabel(layout, taken, m,
                       Number(*s.Knee, dx) + (c.XUnit.isEmpty() ? QString() : u' ' + c.XUnit),
                       s.Color, layout.Knees[k++], false);
    for (const ChartSeries& s : c.Series)
        if (!s.Remark.isEmpty())
            PlaceLabel(layout, taken, m, s.Remark, s.Color, layout.Plot.center(), true);
    return layout;
}

void PaintChart(QPainter& painter, const ChartContent& c, const PlotFrame& frame, const QFont& font,
                int W, int H) {
    const Frame f = FrameAt(c, frame, W, H);
    const ChartLayout layout = ArrangeChart(c, frame, W, H, QFontMetrics(font, painter.device()));
    {
        TCanvas canvas(painter);
        canvas.SetFont(font);
        canvas.SetPenStyle(psClear);
        canvas.SetBrushColor(clWhite);
        canvas.Rectangle(0, 0, W + 1, H + 1);
        PaintPlotFrame(canvas, frame, W, H); // frame and grid, by the canvas's pixel rules
        PaintAxes(canvas, c, font, f, W, H);
        if (c.MarkerShown()) { // the present point's line
            const int mx = f.Pixel(*c.Marker, 0).x();
            canvas.SetPenColor(clRed);
            canvas.SetPenStyle(psDash);
            canvas.SetBrushStyle(bsClear);
            canvas.MoveTo(mx, f.T);
            canvas.LineTo(mx, f.B);
        }
    }
    PaintCurves(painter, c, f, layout);
    PaintLabels(painter, c, font, layout);
}

namespace {

[[noreturn]] void CannotDraw(const char* what) {
    throw EOutputError(std::string("cannot draw the ") + what);
}

} // namespace

QByteArray ChartFileBytes(const ChartContent& chart, const PlotFrame& frame, const QFont& font,
                          const ChartFormat& format, QSize size) {
    const int W = size.width(), H = size.height();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (format.Name == "png") {
        QImage image(W, H, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            PaintChart(painter, chart, frame, font, W, H);
        }
        if (!image.save(&buffer, "PNG"))
            throw EOutputError("cannot encode the PNG image");
        return bytes;
    }
    // A drawing or a document: painted, and only whole when the painter ends.
    const auto paint = [&](QPaintDevice& device, const char* what) {
        QPainter painter;
        if (!painter.begin(&device))
            CannotDraw(what);
        PaintChart(painter, chart, frame, font, W, H);
        if (!painter.end())
            CannotDraw(what);
        return bytes;
    };
    if (format.Name == "svg") {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setTitle(chart.YLabel);
        return paint(svg, "SVG drawing");
    }
    // One page the size of the chart, at the screen's 96 pixels an inch.
    QPdfWriter pdf(&buffer);
    pdf.setResolution(96);
    pdf.setPageSize(QPageSize(QSizeF(size) * 72.0 / 96, QPageSize::Point));
    pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
    pdf.setTitle(chart.YLabel);
    return paint(pdf, "PDF document");
}

} // namespace nebelkamm
