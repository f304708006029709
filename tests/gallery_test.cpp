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
    for (const char* name : {"polardisp.png", "displabel.png"}) {
        const QImage image(QDir(out).filePath(name));
        QVERIFY2(!image.isNull(), name);
        QVERIFY(image.width() >= 300 && image.height() >= 200);
    }
    // The diagram's first series is filled red; the plot frame is white.
    const QImage polar(QDir(out).filePath("polardisp.png"));
    const QImage plot(QDir(out).filePath("displabel.png"));
    QCOMPARE(polar.pixel(polar.width() / 2 - 3, polar.height() / 2 - 3), qRgb(255, 0, 0));
    QCOMPARE(plot.pixel(plot.width() / 2 + 5, plot.height() / 2 + 5), qRgb(255, 255, 255));
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
