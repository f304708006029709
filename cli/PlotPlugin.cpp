// SPDX-License-Identifier: MIT
// The plotting plugin of nebelkamm-cli: the only part of the command line
// that needs the GUI toolkit, loaded only for --plot.
#include "app/CondensateChart.h"
#include "cli/PlotInterface.h"
#include "controls/Chart.h"
#include "controls/ChartFile.h"
#include "model/Exception.h"

#include <QApplication>
#include <QObject>

#include <cstdio>
#include <memory>

namespace {

constexpr int Width = 800, Height = 500;

// The toolkit's complaint about a missing runtime folder, which a command
// line started from a script often has, says nothing about the chart.
void Quieter(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
        return;
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

class PlotPlugin : public QObject, public PlotInterface {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID NebelkammPlotInterface_iid)
    Q_INTERFACES(PlotInterface)

public:
    std::string Render(const nebelkamm::Sweep& sweep, const nebelkamm::Evaluation& present,
                       const std::string& format) override {
        // A headless application for the chart's widget, for this call only.
        std::unique_ptr<QApplication> app;
        if (!QCoreApplication::instance()) {
            qInstallMessageHandler(Quieter);
            if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
                qputenv("QT_QPA_PLATFORM", "offscreen");
            static int argc = 1;
            static char name[] = "nebelkamm-cli";
            static char* argv[] = {name, nullptr};
            app = std::make_unique<QApplication>(argc, argv);
        }
        TChart chart;
        QFont font(QStringLiteral("Liberation Sans"));
        font.setPixelSize(13);
        chart.setFont(font);
        ShowCondensate(chart, sweep, present);
        const nebelkamm::ChartFormat* known = nebelkamm::ChartFormatOf("." + format);
        if (!known)
            throw nebelkamm::EUsageError(nebelkamm::NotAChartFormat(format));
        const QByteArray data = RenderChart(chart, *known, QSize(Width, Height));
        return std::string(data.constData(), static_cast<std::size_t>(data.size()));
    }
};

} // namespace

#include "PlotPlugin.moc"
