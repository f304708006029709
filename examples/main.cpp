// SPDX-License-Identifier: MIT
#include "examples/Gallery.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("nebelkamm-gallery"));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Shows the polar diagram and the plot frame with sample data."));
    parser.addHelpOption();
    const QCommandLineOption snapshot(
        QStringLiteral("snapshot"),
        QStringLiteral("Write both controls as PNG images into <dir> and quit."),
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
