// SPDX-License-Identifier: MIT
#include "chart/CondensateChart.h"

#include "platform/NumberText.h"

#include <algorithm>
#include <cmath>
#include <limits>

using namespace nebelkamm;

namespace {

constexpr double Nan = std::numeric_limits<double>::quiet_NaN();

const Column& ColumnOf(std::string_view key) {
    return *std::find_if(Columns.begin(), Columns.end(),
                         [key](const Column& c) { return key == c.Key; });
}

// "°C" of "[°C]".
QString UnitOf(const Column& c) {
    const QString unit = QString::fromUtf8(c.Unit);
    return unit.mid(1, unit.size() - 2);
}

QString Shown(double v, int decimals) {
    return QString::fromStdString(
        FormatFloat(DisplayPattern(decimals), v, SystemDecimalSeparator()));
}

// The water at the separator of one model over the swept input: a gap where
// the point has no result. Not drawn where it never condenses.
ChartSeries Curve(const Sweep& sweep, const Column& water) {
    ChartSeries s;
    bool condenses = false;
    for (std::size_t i = 0; i < sweep.Points.size(); ++i) {
        const Evaluation& e = sweep.Points[i];
        const double y = water.Has(e) ? water.Value(e) : Nan;
        condenses = condenses || y > 0;
        s.Points.emplace_back(sweep.X(i), y);
    }
    s.Drawn = condenses;
    return s;
}

QString Between(const Column& swept, double from, double to) {
    const int decimals = std::max(0, swept.Decimals - 1);
    return QStringLiteral("no condensation between %1 and %2 %3")
        .arg(Shown(from, decimals), Shown(to, decimals), UnitOf(swept));
}

// A chart over the swept input, the operating point at the top.
ChartContent Over(const Column& swept, const ChargeAirInputs& inputs) {
    ChartContent chart;
    chart.XLabel =
        QString::fromUtf8(swept.Caption) + QLatin1Char(' ') + QString::fromUtf8(swept.Unit);
    chart.YLabel = QStringLiteral("Water at separator [kg/h]");
    chart.XUnit = UnitOf(swept);
    chart.Note = OperatingPoint(inputs);
    return chart;
}

} // namespace

QString OperatingPoint(const ChargeAirInputs& inputs) {
    QStringList parts;
    for (const Column& c : InputColumns)
        parts << QString::fromUtf8(c.Symbol) + QLatin1Char(' ') +
                     Shown(inputs.*c.Input, c.Decimals) + QLatin1Char(' ') + UnitOf(c);
    return parts.join(QStringLiteral(", "));
}

ChartContent CondensateChart(const Sweep& sweep, const Evaluation& present) {
    const bool twoModels = !sweep.Points.empty() && sweep.Points.front().Basis;
    std::vector<ChartSeries> series;
    series.push_back(Curve(sweep, ColumnOf("WaterAtSeparator")));
    series[0].Name = twoModels ? QStringLiteral("Classic") : QStringLiteral("Water at separator");
    series[0].Knee = sweep.Knee;
    if (twoModels) {
        series.push_back(Curve(sweep, ColumnOf("RefWaterAtSeparator")));
        series[1].Name = QString::fromUtf8(ReferenceTitle);
        series[1].Color = clGreen;
        series[1].Knee = sweep.ReferenceKnee;
    }
    const double from = sweep.Points.empty() ? 0 : sweep.X(0);
    const double to = sweep.Points.empty() ? 0 : sweep.X(sweep.Points.size() - 1);
    const bool none =
        std::none_of(series.begin(), series.end(), [](const ChartSeries& s) { return s.Drawn; });
    for (ChartSeries& s : series)
        if (!s.Drawn && (none ? &s == &series.front() : true))
            s.Remark = (none || series.size() == 1 ? QString() : s.Name + QStringLiteral(": ")) +
                       Between(*sweep.Swept, from, to);
    const double x = present.Inputs.*sweep.Swept->Input;
    const bool inside = x >= std::min(from, to) && x <= std::max(from, to);
    if (!inside) { // said, never left out without a word
        ChartSeries outside;
        outside.Drawn = false;
        outside.Color = clRed;
        outside.Remark = QStringLiteral("present point at %1 %2, outside the range")
                             .arg(Shown(x, sweep.Swept->Decimals), UnitOf(*sweep.Swept));
        series.push_back(outside);
    }
    ChartContent chart = Over(*sweep.Swept, present.Inputs);
    chart.SetSeries(std::move(series));
    chart.MarkerLabel = QStringLiteral("present point");
    if (present.Basis && !present.Reference.Failure)
        chart.MarkerLabel += QStringLiteral(", dew-point margin %1 K")
                                 .arg(Shown(present.Reference.DewPointMargin, 1));
    if (inside)
        chart.Marker = x;
    return chart;
}

ChartContent FailureChart(const Column& swept, const SweepRange& range,
                          const ChargeAirInputs& inputs, const QString& why) {
    ChartSeries nothing;
    nothing.Points = {{range.From, Nan}, {range.To, Nan}};
    nothing.Drawn = false;
    nothing.Color = clRed;
    nothing.Remark = QStringLiteral("No result: ") + why;
    ChartContent chart = Over(swept, inputs);
    chart.SetSeries({nothing});
    return chart;
}
