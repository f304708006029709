// SPDX-License-Identifier: MIT
#include <QColor>
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// The gallery and the window's program as a user runs them, also where
// there is no display: `--snapshot DIR` writes both controls, `--help`
// and `--version` print.
class GalleryTest : public QObject {
    Q_OBJECT

private slots:
    void snapshotWritesBothControls();
    void unwritableFolderFailsWithAMessage();
    void helpWithoutADisplay();
};

namespace {

// This environment without a display and without a chosen platform.
QProcessEnvironment NoDisplay() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    return env;
}

} // namespace

void GalleryTest::snapshotWritesBothControls() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString out = dir.filePath("shots/new");
    QProcess gallery;
    gallery.setProcessEnvironment(NoDisplay());
    gallery.start(QStringLiteral(NEBELKAMM_GALLERY), {"--snapshot", out});
    QVERIFY(gallery.waitForFinished(30000));
    QCOMPARE(gallery.exitCode(), 0);
    for (const char* name : {"polardisp.png", "chart.png"}) {
        const QImage image(QDir(out).filePath(name));
        QVERIFY2(!image.isNull(), name);
        QVERIFY(image.width() >= 300 && image.height() >= 200);
    }
    // The diagram's first series is filled red; the chart draws its curve in
    // blue (smoothed at its edges) and marks the summer point in red.
    const QImage polar(QDir(out).filePath("polardisp.png"));
    const QImage chart(QDir(out).filePath("chart.png"));
    QCOMPARE(polar.pixel(polar.width() / 2 - 3, polar.height() / 2 - 3), qRgb(255, 0, 0));
    int blue = 0, red = 0;
    for (int y = 0; y < chart.height(); ++y)
        for (int x = 0; x < chart.width(); ++x) {
            const QColor c = chart.pixelColor(x, y);
            blue += c.blue() > 200 && c.red() < 120 && c.green() < 120;
            red += chart.pixel(x, y) == qRgb(255, 0, 0);
        }
    QVERIFY2(blue > 500 && red > 50, qPrintable(QStringLiteral("%1 %2").arg(blue).arg(red)));
}

// Help and version print with no display at all; neither opens a window.
void GalleryTest::helpWithoutADisplay() {
    const std::pair<const char*, QStringList> runs[] = {
        {NEBELKAMM_GALLERY, {"--help"}},
        {NEBELKAMM_APP, {"--help"}},
        {NEBELKAMM_APP, {"--version"}},
    };
    for (const auto& [program, args] : runs) {
        QProcess p;
        p.setProcessEnvironment(NoDisplay());
        p.start(QString::fromLocal8Bit(program), args);
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
        const QByteArray out = p.readAllStandardOutput();
        QVERIFY2(out.contains("Usage") || out.startsWith("nebelkamm "), out.constData());
        QVERIFY2(!p.readAllStandardError().contains("platform plugin"), program);
    }
}

void GalleryTest::unwritableFolderFailsWithAMessage() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile blocker(dir.filePath("file"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QProcess gallery;
    gallery.start(QStringLiteral(NEBELKAMM_GALLERY), {"--snapshot", dir.filePath("file/inside")});
    QVERIFY(gallery.waitForFinished(30000));
    QCOMPARE(gallery.exitCode(), 1);
    QVERIFY(gallery.readAllStandardError().contains("nebelkamm-gallery: Cannot"));
}

QTEST_GUILESS_MAIN(GalleryTest)
#include "gallery_test.moc"
