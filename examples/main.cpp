// SPDX-License-Identifier: MIT
#include "examples/Gallery.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <cstring>

int main(int argc, char* argv[]) {
    // A snapshot only renders and help only prints: neither needs a display.
    for (int i = 1; i < argc; ++i)
        for (const char* quiet : {"--snapshot", "--help", "-h", "--help-all", "--version", "-v"})
            if (std::strncmp(argv[i], quiet, std::strlen(quiet)) == 0 &&
                qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
                qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("nebelkamm-gallery"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Shows the polar diagram and the chart on the plot frame with sample data."));
    parser.addHelpOption();
    const QCommandLineOption snapshot(
        QStringLiteral("snapshot"),
        QStringLiteral("Write both controls as PNG images (polardisp.png, chart.png) into <dir> "
                       "and quit, without a window."),
        QStringLiteral("dir"));
    parser.addOption(snapshot);
    parser.process(app);

    Gallery gallery;
    gallery.resize(800, 420);
    if (parser.isSet(snapshot)) {
        gallery.show(); // lays the panes out at their shown size
        QString error;
        if (!gallery.Snapshot(parser.value(snapshot), error)) {
            std::fprintf(stderr, "nebelkamm-gallery: %s\n", qPrintable(error));
            return 1;
        }
        return 0;
    }
    gallery.show();
    return QApplication::exec();
}
