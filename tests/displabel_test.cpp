// SPDX-License-Identifier: MIT
#include "controls/Displabel.h"
#include "platform/Canvas.h"

#include "Pixels.h"

#include <QMetaProperty>
#include <QPainter>
#include <QPicture>
#include <QTest>

using namespace nebelkamm;

namespace {

// The bytes of drawing commands one paint records: a measure of its work.
qsizetype Recorded(const TDispLabel& label, int W, int H) {
    QPicture picture;
    {
        QPainter painter(&picture);
        TCanvas canvas(painter);
        label.Paint(canvas, W, H);
    }
    return picture.size();
}

QImage PaintFrame(const TDispLabel& label, int W, int H) {
    return DrawnImage(W, H, [&](TCanvas& canvas) { label.Paint(canvas, W, H); });
}

// A dotted grid line, as its pixels read from its start: 3 black, 3 in
// the display colour.
QString Dotted(int n) {
    QString s;
    for (int k = 0; k < n; ++k)
        s += QLatin1Char(k % 6 < 3 ? 'k' : 'w');
    return s;
}

class CountingLabel : public TDispLabel {
public:
    using TDispLabel::TDispLabel;
    int paints = 0;

protected:
    void paintEvent(QPaintEvent* event) override {
        ++paints;
        TDispLabel::paintEvent(event);
    }
};

} // namespace

class DispLabelTest : public QObject {
    Q_OBJECT

private slots:
    void propertiesInOrderWithInitialValues();
    void defaultFrameAndGrid_data();
    void defaultFrameAndGrid();
    void rightEdgeComesFromSummedFractions();
    void narrowControlPutsAllLinesOnTheLeftEdge();
    void tickCountsBelowTwoDrawNoLines_data();
    void tickCountsBelowTwoDrawNoLines();
    void gridOffDrawsOnlyTheFrame();
    void hugeTickCountsStayFast();
    void everySetterRequestsARepaint();
    void axisCaptionsChangeNoPixel();
    void fillsItsParentAndFollowsIt();
    void frameIsPaintedOverTheCaption();
    void captionStandsTopLeftByDefault();
};

void DispLabelTest::propertiesInOrderWithInitialValues() {
    TDispLabel label;
    const QMetaObject* mo = label.metaObject();
    const QStringList expected{"GridOn",   "GridStyle", "XLabel",    "YLabel",
                               "XTick",    "YTick",     "GridColor", "DispColor",
                               "GridLeft", "GridTop",   "GridWidth", "GridHeight"};
    for (int i = 0; i < expected.size(); ++i)
        QCOMPARE(QString(mo->property(mo->propertyOffset() + i).name()), expected[i]);

    QCOMPARE(label.GridVisible(), true);
    QCOMPARE(label.GetGridStyle(), psDot);
    QCOMPARE(label.GetXLabel(), QString("XLabel"));
    QCOMPARE(label.GetYLabel(), QString("YLabel"));
    QCOMPARE(label.GetXTick(), 5);
    QCOMPARE(label.GetYTick(), 4);
    QCOMPARE(label.GetGridColor(), clBlack);
    QCOMPARE(label.GetDispColor(), TColor(16777215));
    QCOMPARE(label.GetGrLeft(), 0.1);
    QCOMPARE(label.GetGrTop(), 0.1);
    QCOMPARE(label.GetGrWidth(), 0.8);
    QCOMPARE(label.GetGrHeight(), 0.8);
    QCOMPARE(label.Align(), alClient);
    QCOMPARE(label.property("DispColor").value<QColor>(), QColor(255, 255, 255));
    QVERIFY(label.setProperty("GridStyle", QVariant::fromValue(psDashDot)));
    QCOMPARE(label.GetGridStyle(), psDashDot);
}

void DispLabelTest::defaultFrameAndGrid_data() {
    QTest::addColumn<int>("W");
    QTest::addColumn<int>("H");
    QTest::addColumn<QRect>("frame"); // left, top, right, bottom as x, y, width, height
    QTest::addColumn<QList<int>>("xs");
    QTest::addColumn<QList<int>>("ys");
    QTest::newRow("200x150") << 200 << 150 << QRect(20, 15, 160, 120)
                             << QList<int>{52, 84, 116, 148} << QList<int>{45, 75, 105};
    // The remainder widens the last column (18) and the last row (20).
    QTest::newRow("107x93") << 107 << 93 << QRect(10, 9, 86, 74) << QList<int>{27, 44, 61, 78}
                            << QList<int>{27, 45, 63};
}

void DispLabelTest::defaultFrameAndGrid() {
    QFETCH(int, W);
    QFETCH(int, H);
    QFETCH(QRect, frame);
    QFETCH(QList<int>, xs);
    QFETCH(QList<int>, ys);
    const int L = frame.x(), T = frame.y(), R = L + frame.width(), B = T + frame.height();
    TDispLabel label;
    const QImage image = PaintFrame(label, W, H);

    // Outline on columns L..R-1 and rows T..B-1, nothing beyond.
    QCOMPARE(image.pixel(L - 1, T), kUntouched);
    QCOMPARE(image.pixel(R, T), kUntouched);
    QCOMPARE(image.pixel(L, B), kUntouched);
    QCOMPARE(image.pixel(R - 1, B - 1), Rgb(clBlack));
    QCOMPARE(Row(image, T, L, R - 1), QString(R - L, 'k'));
    QCOMPARE(image.pixel(L + 1, T + 1), Rgb(clWhite));

    // Horizontal lines go last: their whole run, from the left edge to the
    // right edge column, reads dotted, gaps in the display colour even on
    // the outline.
    for (int y : ys) {
        QCOMPARE(Row(image, y, L, R - 1), Dotted(R - L));
        QCOMPARE(image.pixel(R, y), kUntouched);
    }
    // Vertical lines run from the top edge row to the bottom edge row.
    for (int x : xs) {
        QString column = Column(image, x, T, B - 1), expected = Dotted(B - T);
        for (int y : ys)
            column[y - T] = expected[y - T] = QLatin1Char('*'); // crossed later
        QCOMPARE(column, expected);
        QCOMPARE(image.pixel(x, B), kUntouched);
        QCOMPARE(image.pixel(x + 1, T + 1), Rgb(clWhite));
    }
    // No further lines: the last column and row stay clear.
    QCOMPARE(image.pixel(xs.last() + (R - 1 - xs.last()) / 2, T + 1), Rgb(clWhite));
    QCOMPARE(image.pixel(L + 1, ys.last() + (B - 1 - ys.last()) / 2), Rgb(clWhite));
}

void DispLabelTest::rightEdgeComesFromSummedFractions() {
    TDispLabel label;
    label.SetGrLeft(0.25);
    label.SetGrWidth(0.5);
    label.ShowGrid(false);
    const QImage image = PaintFrame(label, 3, 50);
    // Left trunc(0.75) = 0, right trunc(2.25) = 2: columns 0 and 1.
    QCOMPARE(Row(image, 5, 0, 2), QString("kk."));
}

void DispLabelTest::narrowControlPutsAllLinesOnTheLeftEdge() {
    TDispLabel label;
    label.SetYTick(1);
    const QImage image = PaintFrame(label, 5, 60);
    // Left 0, right 4, step 0: the dotted lines replace the solid left edge.
    QCOMPARE(Column(image, 0, 6, 53), Dotted(48));
    QCOMPARE(Column(image, 3, 7, 52), QString(46, 'k'));
}

void DispLabelTest::tickCountsBelowTwoDrawNoLines_data() {
    QTest::addColumn<int>("ticks");
    QTest::newRow("1") << 1;
    QTest::newRow("0") << 0;
    QTest::newRow("-3") << -3;
}

void DispLabelTest::tickCountsBelowTwoDrawNoLines() {
    QFETCH(int, ticks);
    TDispLabel label;
    label.SetXTick(ticks);
    QImage image = PaintFrame(label, 200, 150);
    QCOMPARE(Row(image, 16, 21, 178), QString(158, 'w'));
    QCOMPARE(Row(image, 45, 20, 179), Dotted(160));

    label.SetXTick(5);
    label.SetYTick(ticks);
    image = PaintFrame(label, 200, 150);
    QCOMPARE(Column(image, 21, 16, 133), QString(118, 'w'));
    QCOMPARE(image.pixel(52, 16), Rgb(clBlack));
}

void DispLabelTest::gridOffDrawsOnlyTheFrame() {
    TDispLabel label;
    label.ShowGrid(false);
    label.SetXTick(0);
    label.SetYTick(0);
    const QImage image = PaintFrame(label, 200, 150);
    QCOMPARE(CountColour(image, Rgb(clBlack)), 2 * 160 + 2 * 118);
    QCOMPARE(CountColour(image, Rgb(clWhite)), 158 * 118);
}

// A count far beyond the frame's width puts every line on the left edge;
// drawing it must not take one pass per line. The drawing work is what a
// QPicture records of it, against a default frame's.
void DispLabelTest::hugeTickCountsStayFast() {
    TDispLabel label;
    const qsizetype usual = Recorded(label, 200, 150);
    label.SetXTick(std::numeric_limits<int>::max());
    label.SetYTick(std::numeric_limits<int>::max());
    QVERIFY2(Recorded(label, 200, 150) <= 2 * usual, qPrintable(QString::number(usual)));
    const QImage image = PaintFrame(label, 200, 150);
    QCOMPARE(Column(image, 20, 15, 20), QString("kkkwww"));

    // A frame a million times the control's width, cut into a million
    // columns of 3 pixels (clamped edges): only the visible lines cost.
    label.SetGrLeft(-0.5);
    label.SetGrWidth(1e6);
    label.SetXTick(1000000);
    label.SetYTick(4);
    QVERIFY(Recorded(label, 200, 150) <= 200 * usual);
    const QImage wide = PaintFrame(label, 200, 150);
    QCOMPARE(CountColour(wide, kUntouched), 200 * 15 + 200 * 15);
}

void DispLabelTest::everySetterRequestsARepaint() {
    QWidget parent;
    parent.resize(200, 150);
    auto* label = new CountingLabel(&parent);
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));
    const std::function<void()> setters[] = {
        [&] { label->ShowGrid(label->GridVisible()); },
        [&] { label->SetGridStyle(label->GetGridStyle()); },
        [&] { label->SetXLabel(label->GetXLabel()); },
        [&] { label->SetYLabel(label->GetYLabel()); },
        [&] { label->SetXTick(label->GetXTick()); },
        [&] { label->SetYTick(label->GetYTick()); },
        [&] { label->SetGridColor(label->GetGridColor()); },
        [&] { label->SetDispColor(label->GetDispColor()); },
        [&] { label->SetGrLeft(label->GetGrLeft()); },
        [&] { label->SetGrTop(label->GetGrTop()); },
        [&] { label->SetGrWidth(label->GetGrWidth()); },
        [&] { label->SetGrHeight(label->GetGrHeight()); },
    };
    int n = 0;
    for (const auto& set : setters) {
        QTRY_VERIFY(label->paints > 0);
        QTest::qWait(20);
        label->paints = 0;
        set();
        QTRY_VERIFY2(label->paints > 0, qPrintable(QString("setter %1").arg(n)));
        ++n;
    }
}

void DispLabelTest::axisCaptionsChangeNoPixel() {
    QWidget parent;
    parent.resize(160, 120);
    auto* label = new TDispLabel(&parent);
    const QImage before = label->grab().toImage();
    label->SetXLabel(QStringLiteral("Load in %"));
    label->SetYLabel(QStringLiteral("Temperature"));
    QCOMPARE(label->grab().toImage(), before);
}

void DispLabelTest::fillsItsParentAndFollowsIt() {
    QWidget parent;
    parent.resize(300, 200);
    auto* label = new TDispLabel(&parent);
    QCOMPARE(label->geometry(), QRect(0, 0, 300, 200));
    parent.resize(250, 90); // hidden: Qt delivers the resize when shown
    parent.show();
    QCOMPARE(label->geometry(), QRect(0, 0, 250, 90));
    parent.resize(260, 95);
    QCOMPARE(label->geometry(), QRect(0, 0, 260, 95));

    QWidget other;
    other.resize(120, 80);
    label->setParent(&other);
    other.show();
    QCOMPARE(label->geometry(), QRect(0, 0, 120, 80));
    parent.resize(400, 400);
    QCOMPARE(label->size(), QSize(120, 80));
}

void DispLabelTest::frameIsPaintedOverTheCaption() {
    QWidget parent;
    parent.resize(200, 150);
    auto* label = new TDispLabel(&parent);
    label->setText(QString(40, QChar(0x2588))); // a row of full blocks across the middle
    label->setAlignment(Qt::AlignCenter);
    const QImage image = label->grab().toImage();
    // Outside the frame the caption shows; inside, the white fill hides it.
    QVERIFY2(Row(image, 75, 0, 19).contains('k'), qPrintable(Row(image, 75, 0, 19)));
    QCOMPARE(image.pixel(30, 80), Rgb(clWhite));
}

void DispLabelTest::captionStandsTopLeftByDefault() {
    QWidget parent;
    parent.resize(200, 150);
    auto* label = new TDispLabel(&parent);
    label->setText(QString(3, QChar(0x2588)));
    const QImage image = label->grab().toImage();
    // Above the frame (top 15) the blocks show; beside its middle, nothing.
    QVERIFY2(Column(image, 3, 0, 14).contains('k'), qPrintable(Column(image, 3, 0, 14)));
    QVERIFY2(!Row(image, 75, 0, 19).contains('k'), qPrintable(Row(image, 75, 0, 19)));
}

QTEST_MAIN(DispLabelTest)
#include "displabel_test.moc"
