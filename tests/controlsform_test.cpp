// SPDX-License-Identifier: MIT
#include "ui_ControlsForm.h"

#include <QTest>

using namespace nebelkamm;

// A form that sets every property of the chart controls, compiled by uic as
// a client's form would be: each value must arrive.
class ControlsFormTest : public QObject {
    Q_OBJECT

private slots:
    void everyPropertyArrives();
};

void ControlsFormTest::everyPropertyArrives() {
    QWidget form;
    Ui::ControlsForm ui;
    ui.setupUi(&form);

    const TDispLabel& plot = *ui.DispLabel1;
    QCOMPARE(plot.GridVisible(), false);
    QCOMPARE(plot.GetGridStyle(), psDash);
    QCOMPARE(plot.GetXLabel(), QString("Load"));
    QCOMPARE(plot.GetYLabel(), QString("Temperature"));
    QCOMPARE(plot.GetXTick(), 7);
    QCOMPARE(plot.GetYTick(), 3);
    QCOMPARE(plot.GetGridColor(), clBlue);
    QCOMPARE(plot.GetDispColor(), clYellow);
    QCOMPARE(plot.GetGrLeft(), 0.05);
    QCOMPARE(plot.GetGrTop(), 0.15);
    QCOMPARE(plot.GetGrWidth(), 0.9);
    QCOMPARE(plot.GetGrHeight(), 0.7);
    QCOMPARE(plot.geometry(), QRect(0, 0, 200, 150));

    const TPolarDisp& polar = *ui.PolarDisp1;
    QCOMPARE(polar.nGrid, 5);
    QCOMPARE(polar.vLeft, 0.5);
    QCOMPARE(polar.vTop, 0.0);
    QCOMPARE(polar.vRight, 1.0);
    QCOMPARE(polar.vBottom, 0.5);
    QCOMPARE(polar.nRows, 2);
    QCOMPARE(polar.nVals, 3);
    QCOMPARE(polar.maxVal, 50.0);
    QCOMPARE(polar.TicLabel, QStringList({"a", "b", "c"}));
    QCOMPARE(polar.LegList, QStringList{"NW"});
    QVERIFY(polar.GridOn && polar.TickOn && polar.MarkOn && polar.RangeOn && polar.FrameOn);
    QCOMPARE(polar.range_a, 10.0);
    QCOMPARE(polar.range_b, 40.0);
    QCOMPARE(polar.PolyCol, TColor(0x00FF00));
    QCOMPARE(polar.GridCol, clBlack);
    QCOMPARE(polar.TitleCol, clRed);
    QCOMPARE(polar.TickCol, clBlue);
    QVERIFY(polar.TitleFnt.bold());
    QCOMPARE(polar.TitleFnt.family(), QString("Liberation Sans"));
    QVERIFY(polar.TickFnt.italic());
    QCOMPARE(polar.GrRatio, 0.6);
    // uic sets the geometry before the fractions; the parent's next resize
    // places the control by them.
    form.resize(400, 300);
    form.show();
    QCOMPARE(polar.geometry(), QRect(200, 0, 200, 150));

    QCOMPARE(ui.ValEdit1->Value(), 12.5);
}

QTEST_MAIN(ControlsFormTest)
#include "controlsform_test.moc"
