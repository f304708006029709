// SPDX-License-Identifier: MIT
// The plotting plugin of nebelkamm-cli: the only part of the command line
// that needs the GUI toolkit, loaded only for --plot. It draws the chart's
// content straight onto the file's painter: no widget, no window system.
#include "chart/CondensateChart.h"
#include "cli/PlotInterface.h"
#include "model/Exception.h"
#include "platform/ChartDrawing.h"

#include <QGuiApplication>
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
        const nebelkamm::ChartFormat& known = nebelkamm::ChartFormatFor("." + format);
        // Fonts need the toolkit's application, for this call only: on the
        // offscreen platform, asked for by argument so that the process's
        // environment stays as it is.
        std::unique_ptr<QGuiApplication> app;
        if (!QCoreApplication::instance()) {
            qInstallMessageHandler(Quieter);
            // The application keeps these and takes its own arguments out.
            static char name[] = "nebelkamm-cli", platform[] = "-platform",
                        offscreen[] = "offscreen";
            static char* argv[] = {name, platform, offscreen, nullptr};
            static int argc;
            argc = 3;
            argv[1] = platform;
            argv[2] = offscreen;
            app = std::make_unique<QGuiApplication>(argc, argv);
        }
        QFont font(QStringLiteral("Liberation Sans"));
        font.setPixelSize(13);
        const nebelkamm::ChartContent chart = CondensateChart(sweep, present);
        const QByteArray data =
            ChartFileBytes(chart, chart.Frame(), font, known, QSize(Width, Height));
        return std::string(data.constData(), static_cast<std::size_t>(data.size()));
    }
};

} // namespace

#include "PlotPlugin.moc"
