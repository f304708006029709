// SPDX-License-Identifier: MIT
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// The gallery as a user runs it: `--snapshot DIR` writes both controls.
class GalleryTest : public QObject {
    Q_OBJECT

private slots:
    void snapshotWritesBothControls();
    void unwritableFolderFailsWithAMessage();
};

void GalleryTest::snapshotWritesBothControls() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString out = dir.filePath("shots/new");
    QProcess gallery;
    gallery.start(QStringLiteral(NEBELKAMM_GALLERY), {"--snapshot", out});
    QVERIFY(gallery.waitForFinished(30000));
    QCOMPARE(gallery.exitCode(), 0);
    for (const char* name : {"polardisp.png", "chart.png"}) {
        const QImage image(QDir(out).filePath(name));
        QVERIFY2(!image.isNull(), name);
        QVERIFY(image.width() >= 300 && image.height() >= 200);
    }
    // The diagram's first series is filled red; the chart draws its curve in
    // blue and marks the summer point in red.
    const QImage polar(QDir(out).filePath("polardisp.png"));
    const QImage chart(QDir(out).filePath("chart.png"));
    QCOMPARE(polar.pixel(polar.width() / 2 - 3, polar.height() / 2 - 3), qRgb(255, 0, 0));
    int blue = 0, red = 0;
    for (int y = 0; y < chart.height(); ++y)
        for (int x = 0; x < chart.width(); ++x) {
            blue += chart.pixel(x, y) == qRgb(0, 0, 255);
            red += chart.pixel(x, y) == qRgb(255, 0, 0);
        }
    QVERIFY2(blue > 500 && red > 50, qPrintable(QStringLiteral("%1 %2").arg(blue).arg(red)));
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
