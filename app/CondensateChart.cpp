// SPDX-License-Identifier: MIT
#include "app/CondensateChart.h"

#include "controls/Chart.h"
#include "platform/NumberText.h"

#include <algorithm>
#include <cmath>
#include <limits>

using namespace nebelkamm;

namespace {

const Column& ColumnOf(std::string_view key) {
    return *std::find_if(Columns.begin(), Columns.end(),
                         [key](const Column& c) { return key == c.Key; });
}

// The water at the separator of one model over the swept input: a gap where
// the point has no result.
ChartSeries Curve(const Sweep& sweep, const Column& water) {
    ChartSeries s;
    for (std::size_t i = 0; i < sweep.Points.size(); ++i) {
        const Evaluation& e = sweep.Points[i];
        s.Points.emplace_back(sweep.X(i), water.Has(e) ? water.Value(e)
                                                       : std::numeric_limits<double>::quiet_NaN());
    }
    return s;
}

} // namespace

void ShowCondensate(TChart& chart, const Sweep& sweep, const Evaluation& present) {
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
    chart.SetXLabel(QString::fromUtf8(sweep.Swept->Caption) + QLatin1Char(' ') +
                    QString::fromUtf8(sweep.Swept->Unit));
    chart.SetYLabel(QStringLiteral("Water at separator [kg/h]"));
    chart.SetSeries(std::move(series));
    QString label = QStringLiteral("present point");
    if (present.Basis && !present.Reference.Failure)
        label +=
            QStringLiteral(", dew-point margin %1 K")
                .arg(QString::fromStdString(FormatFloat("0.0", present.Reference.DewPointMargin, '.')));
    const double x = present.Inputs.*sweep.Swept->Input;
    const bool inside = !sweep.Points.empty() && x >= std::min(sweep.X(0), sweep.X(sweep.Points.size() - 1)) &&
                        x <= std::max(sweep.X(0), sweep.X(sweep.Points.size() - 1));
    chart.SetMarker(inside ? std::optional<double>(x) : std::nullopt, label);
}
