// SPDX-License-Identifier: MIT
// The plotting module of nebelkamm-cli: the only part of the command line
// that needs the GUI toolkit, loaded only for --plot.
#include "cli/PlotModule.h"

#include "app/CondensateChart.h"

#include "controls/Chart.h"
#include "controls/ChartFile.h"
#include "settings/Batch.h"
#include "settings/Curve.h"

#include <QApplication>
#include <QFileInfo>

#include <cstdio>

namespace {

constexpr int Width = 800, Height = 500;

int Fail(char* message, std::size_t size, const QString& why) {
    std::snprintf(message, size, "%s", why.toUtf8().constData());
    return 0;
}

} // namespace

extern "C" [[gnu::visibility("default")]] int
nebelkamm_plot_sweep_v2(const char* file, const nebelkamm::ChargeAirInputs* base, const char* key,
                        double from, double to, double step, int reference, char* message,
                        std::size_t size) {
    using namespace nebelkamm;
    const ChargeAirRow* row = InputRowByKey(key);
    std::optional<AirBasis> basis;
    if (reference >= 0)
        basis = static_cast<AirBasis>(reference);
    if (!row)
        return Fail(message, size, QStringLiteral("no input is called %1").arg(key));
    const QString path = QString::fromLocal8Bit(file);
    const QString format = QFileInfo(path).suffix().toLower();
    if (format != QLatin1String("png") && format != QLatin1String("svg") &&
        format != QLatin1String("pdf")) // before any work
        return Fail(message, size,
                    QStringLiteral("%1: a chart is saved as .png, .svg or .pdf").arg(path));

    // A headless application for the chart's widget, for this call only.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "nebelkamm-cli";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);

    CondensateCurve curve;
    try {
        curve = ComputeCurve(*base, *row, from, to, step, basis);
    } catch (const EBatchUsage& e) {
        return Fail(message, size, QString::fromStdString(e.Message()));
    }
    TChart chart;
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(13);
    chart.setFont(font);
    chart.SetXLabel(QString::fromUtf8(row->Caption) + QLatin1Char(' ') +
                    QString::fromUtf8(row->Unit));
    chart.SetYLabel(QStringLiteral("Water at separator [kg/h]"));
    const double present = base->*row->Input;
    std::optional<ReferenceResults> presentReference;
    if (basis)
        presentReference = ComputeReference(*base, *basis);
    const bool shown = present >= std::min(from, to) && present <= std::max(from, to);
    ShowCondensate(chart, curve, shown ? std::optional<double>(present) : std::nullopt,
                   presentReference);

    QString why;
    if (!SaveChart(chart, path, QSize(Width, Height), &why))
        return Fail(message, size, why);
    return 1;
}
