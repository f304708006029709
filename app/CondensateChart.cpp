// SPDX-License-Identifier: MIT
#include "app/CondensateChart.h"

#include "controls/Chart.h"
#include "platform/NumberText.h"
#include "settings/Rows.h"

using namespace nebelkamm;

void ShowCondensate(TChart& chart, const CondensateCurve& curve, std::optional<double> present,
                    const std::optional<ReferenceResults>& reference) {
    const bool twoModels = !curve.ReferenceWater.empty();
    std::vector<ChartSeries> series(twoModels ? 2 : 1);
    series[0].Name = twoModels ? QStringLiteral("Classic") : QStringLiteral("Water at separator");
    for (std::size_t i = 0; i < curve.X.size(); ++i)
        series[0].Points.emplace_back(curve.X[i], curve.Water[i]);
    series[0].Knee = curve.Knee;
    if (twoModels) {
        series[1].Name = QString::fromUtf8(ReferenceTitle);
        series[1].Color = clGreen;
        for (std::size_t i = 0; i < curve.X.size(); ++i)
            series[1].Points.emplace_back(curve.X[i], curve.ReferenceWater[i]);
        series[1].Knee = curve.ReferenceKnee;
    }
    chart.SetSeries(std::move(series));
    QString label = QStringLiteral("present point");
    if (reference && *reference)
        label +=
            QStringLiteral(", dew-point margin %1 K")
                .arg(QString::fromStdString(FormatFloat("0.0", reference->DewPointMargin, '.')));
    chart.SetMarker(present, label);
}
