// SPDX-License-Identifier: MIT
#include "examples/Gallery.h"

#include "controls/Chart.h"
#include "controls/Polardisp.h"
#include "core/Sweep.h"

#include <QDir>
#include <QHBoxLayout>
#include <QImage>

namespace {

// Cylinder readings of a six-cylinder engine: exhaust temperature, firing
// pressure and fuel index as fractions of their limits.
constexpr int kSeries = 3;
constexpr int kSpokes = 6;
constexpr double kSample[kSeries][kSpokes] = {
    {0.42, 0.47, 0.58, 0.44, 0.39, 0.51},
    {0.61, 0.66, 0.70, 0.63, 0.59, 0.68},
    {0.30, 0.28, 0.34, 0.31, 0.27, 0.33},
};

} // namespace

Gallery::Gallery(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("nebelkamm controls"));
    auto* layout = new QHBoxLayout(this);

    polarPane_ = new QWidget(this);
    polarPane_->setMinimumSize(420, 380);
    polar_ = new TPolarDisp(polarPane_);
    polar_->vLeft = 0.02;
    polar_->vTop = 0.02;
    polar_->vRight = 0.98;
    polar_->vBottom = 0.98;
    polar_->nRows = kSeries;
    polar_->nVals = kSpokes;
    polar_->New_Data();
    for (int i = 0; i < kSeries; ++i)
        for (int j = 0; j < kSpokes; ++j)
            polar_->Data[i][j] = kSample[i][j];
    polar_->SetLabels({"Cyl 1", "Cyl 2", "Cyl 3", "Cyl 4", "Cyl 5", "Cyl 6"});
    polar_->SetLegs({"Exhaust temp.", "Firing press.", "Fuel index", "Limits"});
    polar_->GridOn = polar_->TickOn = polar_->MarkOn = polar_->RangeOn = true;
    polar_->GridCol = 0x808080; // grey, so the dotted series stand out from the rings
    polar_->DataOn = true;
    layout->addWidget(polarPane_, 1);

    // The water at the separator over the cooler outlet on a humid summer
    // day, on the plot frame.
    plotPane_ = new QWidget(this);
    plotPane_->setMinimumSize(420, 300);
    plot_ = new TChart(plotPane_);
    const nebelkamm::ChargeAirInputs summer{90, 37, 1.02, 2.4, 40, 7.8, 41200};
    const nebelkamm::Column& outlet = *nebelkamm::InputByKey("TempAfterCooler");
    const auto sweep =
        nebelkamm::ComputeSweep(summer, outlet, nebelkamm::SweepPoints(20, 70, 0.5, 1));
    ChartSeries series;
    series.Name = QStringLiteral("Water at separator");
    for (std::size_t i = 0; i < sweep.Points.size(); ++i)
        series.Points.emplace_back(sweep.X(i), sweep.Points[i].Classic.WaterAtSeparator);
    series.Knee = sweep.Knee;
    plot_->SetXLabel(QStringLiteral("Actual temperature after cooler [°C]"));
    plot_->SetYLabel(QStringLiteral("Water at separator [kg/h]"));
    plot_->SetSeries({series});
    plot_->SetMarker(summer.TempAfterCooler, QStringLiteral("humid summer day"));
    layout->addWidget(plotPane_, 1);
}

bool Gallery::Snapshot(const QString& folder, QString& error) {
    if (!QDir().mkpath(folder)) {
        error = QStringLiteral("Cannot create folder %1").arg(folder);
        return false;
    }
    const QDir dir(folder);
    const std::pair<QWidget*, QString> shots[] = {{polarPane_, QStringLiteral("polardisp.png")},
                                                  {plotPane_, QStringLiteral("chart.png")}};
    for (const auto& [pane, name] : shots) {
        const QString path = dir.filePath(name);
        if (!pane->grab().toImage().save(path, "PNG")) {
            error = QStringLiteral("Cannot write %1").arg(path);
            return false;
        }
    }
    return true;
}
