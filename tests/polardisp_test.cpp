// SPDX-License-Identifier: MIT
#include "controls/Polardisp.h"
#include "model/Exception.h"
#include "platform/Canvas.h"

#include "BoxCatcher.h"
#include "Pixels.h"

#include <QMetaProperty>
#include <QPainter>
#include <QTest>

#include <climits>

#include <cmath>
#include <limits>

using namespace nebelkamm;

namespace {

struct Logged {
    QString text, caption;
    bool operator==(const Logged&) const = default;
};

// Collects what the control would show instead of opening boxes.
struct Collector {
    QList<Logged> said;
    void Attach(TPolarDisp& disp) {
        disp.SetReporter([this](QWidget*, const QString& text, const QString& caption) {
            said.push_back({text, caption});
        });
    }
};

QImage Render(TPolarDisp& disp) {
    QImage image = BlankImage(disp.width(), disp.height());
    QPainter painter(&image);
    disp.Paint(painter);
    return image;
}

// A diagram over the top-left `fraction` of a parent of w x h.
TPolarDisp* PlacedIn(QWidget& parent, int w, int h, double fraction) {
    parent.resize(w, h);
    auto* disp = new TPolarDisp(&parent);
    disp->vLeft = disp->vTop = 0;
    disp->vRight = disp->vBottom = fraction;
    disp->Place();
    return disp;
}

void Fill(TPolarDisp& disp, int rows, int vals, const QList<double>& values) {
    disp.nRows = rows;
    disp.nVals = vals;
    disp.New_Data();
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < vals; ++j)
            disp.Data[i][j] = values.value(i * vals + j, 0.0);
    QStringList labels;
    for (int j = 0; j < vals; ++j)
        labels << QString::number(j);
    disp.SetLabels(labels);
    disp.DataOn = true;
}

const QString kFew = QStringLiteral("Keine oder zu wenige Daten !");
const QString kRows = QStringLiteral("Zuviele Datenreihen !");
const QString kVals = QStringLiteral("Zuviele Daten pro Reihe !");
const QString kLabels = QStringLiteral("Fehler bei Datenbezeichnung !");
const QString kGrid = QStringLiteral("Zuviele Gitterlinien -> geändert !");
const QString kRange = QStringLiteral("Werte außerhalb Bereich !");
const QString kDisplay = QStringLiteral("Werte außerhalb Darstellungsbereich ! \n");
const QString kNegative = QStringLiteral("Werte < 0.0 -> auf =.0 gesetzt!");

} // namespace

Q_DECLARE_METATYPE(QList<Logged>)

class PolarDispTest : public QObject {
    Q_OBJECT

private slots:
    void propertiesInOrderWithInitialValues();
    void setterCopiesIntoTheControlsOwnObjects();
    void tableOperations();
    void checkData_data();
    void checkData();
    void correctionsPersistSoWarningsDoNotReturn();
    void defaultReporterOpensAPlainBox();
    void messagesWaitUntilThePaintIsOver();
    void errorClearsDataOnAndLaterPaintsAreSilent();
    void boxesAfterAPaintOneByOne();
    void placesItselfInItsParent();
    void spokeEndsForFourSpokes();
    void firstSeriesFilledOthersDotted();
    void tickValuesStandOnTheInnerRings();
    void collapsesWhenTheScaleIsBelowOnePixel();
    void missingLabelsAreFilledForGood();
    void atMostFourCornerCaptions();
    void markerColoursFollowTheFirstSeries();
    void degenerateScalesNeverFault_data();
    void degenerateScalesNeverFault();
};

void PolarDispTest::propertiesInOrderWithInitialValues() {
    TPolarDisp disp;
    const QMetaObject* mo = disp.metaObject();
    const QStringList expected{"nGrid",    "vLeft",   "vTop",     "vRight",   "vBottom", "nRows",
                               "nVals",    "maxVal",  "TicLabel", "LegList",  "GridOn",  "TickOn",
                               "MarkOn",   "RangeOn", "range_a",  "range_b",  "PolyCol", "GridCol",
                               "TitleCol", "TickCol", "FrameOn",  "TitleFnt", "TickFnt", "GrRatio"};
    QCOMPARE(mo->propertyCount() - mo->propertyOffset(), expected.size());
    for (int i = 0; i < expected.size(); ++i)
        QCOMPARE(QString(mo->property(mo->propertyOffset() + i).name()), expected[i]);

    QCOMPARE(disp.nGrid, 4);
    QCOMPARE(disp.vLeft, 0.45);
    QCOMPARE(disp.vTop, 0.25);
    QCOMPARE(disp.vRight, 0.75);
    QCOMPARE(disp.vBottom, 0.6);
    QCOMPARE(disp.nRows, 0);
    QCOMPARE(disp.nVals, 0);
    QCOMPARE(disp.maxVal, 1.0);
    QVERIFY(disp.TicLabel.isEmpty() && disp.LegList.isEmpty());
    QVERIFY(!disp.GridOn && !disp.TickOn && !disp.MarkOn && !disp.RangeOn && !disp.FrameOn);
    QCOMPARE(disp.range_a, 0.3);
    QCOMPARE(disp.range_b, 0.55);
    QCOMPARE(disp.property("PolyCol").value<QColor>(), QColor(255, 0, 0));
    QCOMPARE(disp.property("GridCol").value<QColor>(), QColor(255, 255, 255));
    QCOMPARE(disp.property("TitleCol").value<QColor>(), QColor(0, 0, 255));
    QCOMPARE(disp.property("TickCol").value<QColor>(), QColor(0, 128, 0));
    QCOMPARE(disp.TitleFnt.family(), QString("Courier New"));
    QCOMPARE(disp.TickFnt.family(), QString("Courier New"));
    QCOMPARE(disp.GrRatio, 0.7);
    QVERIFY(disp.Data.empty());
    QVERIFY(!disp.DataOn);
    QCOMPARE(disp.CheckResult, 0);
    QCOMPARE(disp.geometry(), QRect(300, 100, 300, 250));
    QCOMPARE(disp.Bevel->geometry(), QRect(0, 0, 300, 250));
    QVERIFY(!disp.Bevel->isEnabled());
    QCOMPARE(disp.Bevel->frameStyle(), QFrame::Box | QFrame::Raised);
}

void PolarDispTest::setterCopiesIntoTheControlsOwnObjects() {
    TPolarDisp disp;
    disp.SetLabels({"a", "b", "c", "d", "e"});
    QStringList three{"x", "y", "z"};
    disp.SetLabels(three);
    three[0] = "changed";
    QCOMPARE(disp.TicLabel, QStringList({"x", "y", "z"}));
    disp.SetLabels(disp.TicLabel); // its own list: nothing lost
    QCOMPARE(disp.TicLabel, QStringList({"x", "y", "z"}));
    QVERIFY(disp.setProperty("LegList", QStringList{"top left"}));
    QCOMPARE(disp.LegList, QStringList{"top left"});

    QFont font(QStringLiteral("Liberation Sans"));
    font.setBold(true);
    disp.SetTitleFnt(font);
    font.setItalic(true);
    QVERIFY(disp.TitleFnt.bold());
    QVERIFY(!disp.TitleFnt.italic());
}

void PolarDispTest::tableOperations() {
    TPolarDisp disp;
    disp.Init_Data(0.0); // no table: nothing happens
    QVERIFY(disp.Data.empty());

    disp.nRows = 2;
    disp.nVals = 6;
    disp.New_Data();
    QCOMPARE(disp.Data.Rows(), 2);
    QCOMPARE(disp.Data.Vals(), 6);
    disp.Init_Data(7.5);
    disp.Init_Data(0.0);
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 6; ++j)
            QCOMPARE(disp.Data[i][j], 0.0);

    // Counts larger than the table never reach past it.
    disp.nRows = 5;
    disp.nVals = 20;
    disp.Init_Data(1.0);
    QCOMPARE(disp.Data[1][5], 1.0);

    disp.DataOn = true;
    disp.Clear_Data();
    QVERIFY(disp.Data.empty());
    QVERIFY(!disp.DataOn);
    disp.Clear_Data();
    QVERIFY(disp.Data.empty());

    disp.nRows = -1;
    disp.New_Data();
    QVERIFY(disp.Data.empty());

    // Counts that CheckData never accepts allocate nothing and keep the table.
    disp.nRows = 2;
    disp.nVals = 6;
    disp.New_Data();
    const std::pair<int, int> refused[] = {{6, 6}, {1, 21}, {INT_MAX, INT_MAX}, {-1, INT_MAX}};
    for (const auto& [rows, vals] : refused) {
        disp.nRows = rows;
        disp.nVals = vals;
        QVERIFY_THROWS_EXCEPTION(nebelkamm::Exception, disp.New_Data());
        QCOMPARE(disp.Data.Rows(), 2);
    }
}

void PolarDispTest::checkData_data() {
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("vals");
    QTest::addColumn<int>("labels");
    QTest::addColumn<int>("grid");
    QTest::addColumn<QList<double>>("values");
    QTest::addColumn<int>("code");
    QTest::addColumn<QList<Logged>>("said");
    QTest::addColumn<double>("maxAfter");
    QTest::addColumn<int>("gridAfter");
    QTest::addColumn<QList<double>>("valuesAfter");

    const Logged few{kFew, "Error"};
    QTest::newRow("no series") << 0 << 6 << 6 << 4 << QList<double>{} << -1 << QList<Logged>{few}
                               << 1.0 << 4 << QList<double>{};
    QTest::newRow("two values") << 1 << 2 << 2 << 4 << QList<double>{} << -1 << QList<Logged>{few}
                                << 1.0 << 4 << QList<double>{};
    QTest::newRow("six series") << 6 << 6 << 6 << 4 << QList<double>{} << -2
                                << QList<Logged>{{kRows, "Error"}} << 1.0 << 4 << QList<double>{};
    QTest::newRow("21 values") << 1 << 21 << 21 << 4 << QList<double>{} << -3
                               << QList<Logged>{{kVals, "Error"}} << 1.0 << 4 << QList<double>{};
    QTest::newRow("5 x 20 passes") << 5 << 20 << 20 << 4 << QList<double>{} << 0 << QList<Logged>{}
                                   << 1.0 << 4 << QList<double>{};
    QTest::newRow("10 rings pass") << 1 << 3 << 3 << 10 << QList<double>{} << 0 << QList<Logged>{}
                                   << 1.0 << 10 << QList<double>{};
    QTest::newRow("12 rings") << 1 << 3 << 3 << 12 << QList<double>{} << 1
                              << QList<Logged>{{kGrid, "Warning"}} << 1.0 << 10 << QList<double>{};
    QTest::newRow("4 labels for 6")
        << 1 << 6 << 4 << 4 << QList<double>{} << 2 << QList<Logged>{{kLabels, "Warning"}} << 1.0
        << 4 << QList<double>{};
    QTest::newRow("labels, then rings")
        << 1 << 6 << 4 << 11 << QList<double>{} << 1
        << QList<Logged>{{kLabels, "Warning"}, {kGrid, "Warning"}} << 1.0 << 10 << QList<double>{};
    QTest::newRow("maxVal raised twice")
        << 1 << 3 << 3 << 4 << QList<double>{0.5, 2.0, 3.0} << 3
        << QList<Logged>{{kDisplay, "Warning"}, {kDisplay, "Warning"}} << 3.3 << 4
        << QList<double>{0.5, 2.0, 3.0};
    QTest::newRow("negative set to 0")
        << 1 << 3 << 3 << 4 << QList<double>{-0.5, 0.2, 0.1} << 4
        << QList<Logged>{{kNegative, "Warning"}} << 1.0 << 4 << QList<double>{0.0, 0.2, 0.1};
    QTest::newRow("negative, then too large")
        << 1 << 3 << 3 << 4 << QList<double>{-0.5, 2e10, 0.1} << -4
        << QList<Logged>{{kNegative, "Warning"}, {kRange, "Error"}} << 1.0 << 4
        << QList<double>{0.0, 2e10, 0.1};
    QTest::newRow("large negative raises by magnitude")
        << 1 << 3 << 3 << 4 << QList<double>{-2.0, 0.5, 0.5} << 4
        << QList<Logged>{{kDisplay, "Warning"}, {kNegative, "Warning"}} << 2.2 << 4
        << QList<double>{0.0, 0.5, 0.5};
    QTest::newRow("not a number") << 1 << 3 << 3 << 4
                                  << QList<double>{0.2, std::numeric_limits<double>::quiet_NaN(),
                                                   0.1}
                                  << -4 << QList<Logged>{{kRange, "Error"}} << 1.0 << 4
                                  << QList<double>{};
    QTest::newRow("second series")
        << 2 << 3 << 3 << 4 << QList<double>{0.1, 0.1, 0.1, 0.1, 1.5, 0.1} << 3
        << QList<Logged>{{kDisplay, "Warning"}} << 1.65 << 4
        << QList<double>{0.1, 0.1, 0.1, 0.1, 1.5, 0.1};
}

void PolarDispTest::checkData() {
    QFETCH(int, rows);
    QFETCH(int, vals);
    QFETCH(int, labels);
    QFETCH(int, grid);
    QFETCH(QList<double>, values);
    QFETCH(int, code);
    QFETCH(QList<Logged>, said);
    QFETCH(double, maxAfter);
    QFETCH(int, gridAfter);
    QFETCH(QList<double>, valuesAfter);

    TPolarDisp disp;
    Collector collector;
    collector.Attach(disp);
    disp.nRows = rows;
    disp.nVals = vals;
    disp.nGrid = grid;
    if (rows <= TPolarDisp::MaxRows && vals <= TPolarDisp::MaxVals)
        disp.New_Data(); // larger counts are refused before the data is looked at
    for (int k = 0; k < values.size(); ++k)
        disp.Data[k / vals][k % vals] = values[k];
    for (int j = 0; j < labels; ++j)
        disp.TicLabel << QString::number(j);

    QCOMPARE(disp.CheckData(), code);
    QCOMPARE(collector.said.size(), said.size());
    for (int k = 0; k < said.size(); ++k) {
        QCOMPARE(collector.said[k].text, said[k].text);
        QCOMPARE(collector.said[k].caption, said[k].caption);
    }
    QVERIFY2(std::fabs(disp.maxVal - maxAfter) < 1e-12,
             qPrintable(QString::number(disp.maxVal, 'g', 17)));
    QCOMPARE(disp.nGrid, gridAfter);
    for (int k = 0; k < valuesAfter.size(); ++k)
        QCOMPARE(disp.Data[k / vals][k % vals], valuesAfter[k]);
}

void PolarDispTest::correctionsPersistSoWarningsDoNotReturn() {
    TPolarDisp disp;
    Collector collector;
    collector.Attach(disp);
    Fill(disp, 1, 3, {0.5, -2.0, 3.0});
    disp.nGrid = 12;
    QCOMPARE(disp.CheckData(), 3);
    const int first = static_cast<int>(collector.said.size());
    QCOMPARE(first, 4);
    QCOMPARE(disp.CheckData(), 0);
    QCOMPARE(collector.said.size(), first);

    // Missing labels warn on every check, as long as they stay missing.
    disp.TicLabel.removeLast();
    QCOMPARE(disp.CheckData(), 2);
    QCOMPARE(disp.CheckData(), 2);
    QCOMPARE(collector.said.size(), first + 2);
}

// A direct check, outside a paint, shows its box at once.
void PolarDispTest::defaultReporterOpensAPlainBox() {
    QWidget window;
    auto* disp = new TPolarDisp(&window);
    disp->nRows = 9;
    disp->nVals = 6;
    BoxCatcher catcher;
    QCOMPARE(disp->CheckData(), -2);
    QCOMPARE(catcher.boxes.size(), 1);
    QCOMPARE(catcher.boxes[0].title, QString("Error"));
    QCOMPARE(catcher.boxes[0].text, kRows);
    QCOMPARE(catcher.boxes[0].icon, QMessageBox::NoIcon);
    QCOMPARE(catcher.boxes[0].buttons, QMessageBox::Ok);
}

void PolarDispTest::messagesWaitUntilThePaintIsOver() {
    QWidget parent;
    parent.resize(400, 400);
    auto* disp = new TPolarDisp(&parent);
    Collector collector;
    collector.Attach(*disp);
    Fill(*disp, 1, 3, {0.5, 2.0, -3.0});
    disp->TicLabel.clear();
    disp->grab();
    QVERIFY(collector.said.isEmpty());
    QCOMPARE(disp->CheckResult, 4);
    QTRY_COMPARE(collector.said.size(), 4);
    QCOMPARE(collector.said[0].text, kLabels);
    QCOMPARE(collector.said[1].text, kDisplay);
    QCOMPARE(collector.said[2].text, kDisplay);
    QCOMPARE(collector.said[3].text, kNegative);
}

void PolarDispTest::errorClearsDataOnAndLaterPaintsAreSilent() {
    QWidget parent;
    parent.resize(400, 400);
    auto* disp = new TPolarDisp(&parent);
    Collector collector;
    collector.Attach(*disp);
    disp->DataOn = true; // counts left at 0, no table
    const QImage before = disp->grab().toImage();
    QCOMPARE(disp->CheckResult, -1);
    QVERIFY(!disp->DataOn);
    disp->grab();
    QTRY_COMPARE(collector.said.size(), 1);
    QCOMPARE(collector.said[0], (Logged{kFew, "Error"}));

    // Counts without a table of that shape are too few data as well.
    disp->nRows = 2;
    disp->nVals = 6;
    disp->New_Data();
    disp->nRows = 3;
    disp->SetLabels({"1", "2", "3", "4", "5", "6"});
    disp->DataOn = true;
    QCOMPARE(disp->grab().toImage(), before); // nothing drawn
    QCOMPARE(disp->CheckResult, -1);
    QTRY_COMPARE(collector.said.size(), 2);
    QTest::qWait(20);
    QCOMPARE(collector.said.size(), 2);
}

// Without a reporter, each message of a paint gets its own box once the
// paint is over, in the order of the checks.
void PolarDispTest::boxesAfterAPaintOneByOne() {
    QWidget parent;
    parent.resize(400, 400);
    auto* disp = new TPolarDisp(&parent);
    Fill(*disp, 1, 3, {0.5, -0.2, 0.1});
    disp->nGrid = 11;
    BoxCatcher catcher;
    disp->grab();
    QVERIFY(catcher.boxes.isEmpty());
    QTRY_COMPARE(catcher.boxes.size(), 2);
    QCOMPARE(catcher.boxes[0].text, kGrid);
    QCOMPARE(catcher.boxes[1].text, kNegative);
    for (const auto& box : catcher.boxes) {
        QCOMPARE(box.title, QString("Warning"));
        QCOMPARE(box.icon, QMessageBox::NoIcon);
        QCOMPARE(box.buttons, QMessageBox::Ok);
    }
}

void PolarDispTest::placesItselfInItsParent() {
    QWidget parent;
    parent.resize(401, 401);
    parent.show();
    auto* disp = new TPolarDisp(&parent);
    QCOMPARE(disp->geometry(), QRect(180, 100, 120, 140));
    QCOMPARE(disp->Bevel->geometry(), QRect(0, 0, 120, 140));

    // The parent's resize places the control before anything paints.
    parent.resize(200, 100);
    QCOMPARE(disp->geometry(), QRect(90, 25, 60, 35));

    // Fractions changed by hand take effect after the next paint, not
    // inside it.
    disp->vLeft = 0.0;
    disp->grab();
    QCOMPARE(disp->x(), 90);
    QTRY_COMPARE(disp->geometry(), QRect(0, 25, 150, 35));

    QWidget other;
    other.resize(1000, 1000);
    disp->setParent(&other);
    QCOMPARE(disp->geometry(), QRect(0, 250, 750, 350));
}

void PolarDispTest::spokeEndsForFourSpokes() {
    QWidget parent;
    parent.resize(401, 401);
    auto* disp = new TPolarDisp(&parent);
    Fill(*disp, 1, 4, {0, 0, 0, 0});
    disp->GridOn = true;
    disp->nGrid = 0; // spokes only: no rings to divide by
    disp->GridCol = clBlue;
    const QImage image = Render(*disp);
    QCOMPARE(disp->xMid, 60);
    QCOMPARE(disp->yMid, 70);
    // Up, right, down, left; each spoke stops one pixel before its end.
    QCOMPARE(Column(image, 60, 21, 24), QString(".bbb"));
    QCOMPARE(Row(image, 70, 98, 102), QString("bbbb."));
    QCOMPARE(Column(image, 60, 116, 119), QString("bbb."));
    QCOMPARE(Row(image, 70, 18, 21), QString(".bbb"));
    QCOMPARE(image.pixel(60, 70), Rgb(clBlue)); // the grid goes over the polygon's centre dot
}

void PolarDispTest::firstSeriesFilledOthersDotted() {
    QWidget parent;
    auto* disp = PlacedIn(parent, 400, 400, 0.5);
    Fill(*disp, 3, 4, {0.5, 0.5, 0.5, 0.5, 0.8, 0.8, 0.8, 0.8, 0.2, 0.2, 0.2, 0.2});
    const QImage image = Render(*disp);
    // 200 x 200: centre (100, 100), 70 pixels per value unit.
    QCOMPARE(image.pixel(100, 100), Rgb(clRed));
    QCOMPARE(Column(image, 100, 64, 66), QString(".kr")); // series 0: solid outline over the fill
    // Series 1 outside the fill: 3 set, 3 transparent, from its top vertex.
    QString series1, series2;
    for (int k = 0; k < 7; ++k) {
        series1 += QLatin1Char(PixelCode(image.pixel(100 + k, 44 + k)));
        series2 += QLatin1Char(PixelCode(image.pixel(100 + k, 86 + k)));
    }
    QCOMPARE(series1, QString("kkk...k"));
    // Series 2 inside the fill: its gaps leave the red showing.
    QCOMPARE(series2, QString("kkkrrrk"));
}

void PolarDispTest::tickValuesStandOnTheInnerRings() {
    QWidget parent;
    auto* disp = PlacedIn(parent, 400, 400, 1);
    Fill(*disp, 1, 3, {0, 0, 0});
    disp->GridOn = true;
    disp->GridCol = clBlue;
    const QImage image = Render(*disp);

    // Each text as the canvas writes it alone, then found in place.
    const auto textPixels = [&](const QString& text, int k) {
        const QImage alone = DrawnImage(400, 400, [&](TCanvas& canvas) {
            canvas.SetFont(disp->TickFnt);
            canvas.SetFontHeight(20);
            canvas.SetFontColor(clBlue);
            canvas.SetBrushStyle(bsClear);
            canvas.TextOut(200 + 3, 200 - PixelTrunc(20 * 0.8 + k * 35), text);
        });
        QList<QPoint> pixels;
        for (int y = 0; y < 400; ++y)
            for (int x = 0; x < 400; ++x)
                if (alone.pixel(x, y) == Rgb(clBlue))
                    pixels << QPoint(x, y);
        return pixels;
    };
    const auto present = [&](const QList<QPoint>& pixels) {
        int n = 0;
        for (QPoint p : pixels)
            n += image.pixel(p) == Rgb(clBlue);
        return double(n) / pixels.size();
    };
    const QStringList ticks{"0.25", "0.50", "0.75"};
    for (int k = 1; k <= 3; ++k) {
        const auto pixels = textPixels(ticks[k - 1], k);
        QVERIFY(pixels.size() > 20);
        QCOMPARE(present(pixels), 1.0);
    }
    // The outermost ring carries no value.
    QVERIFY(present(textPixels(QStringLiteral("1.00"), 4)) < 0.5);
}

void PolarDispTest::collapsesWhenTheScaleIsBelowOnePixel() {
    QWidget parent;
    auto* disp = PlacedIn(parent, 300, 1200, 1);
    disp->maxVal = 200; // 300 * 0.35 / 200 < 1 pixel per unit across, 2 down
    Fill(*disp, 1, 6, {100, 100, 100, 100, 100, 100});
    const QImage image = Render(*disp);
    for (int y = 0; y < 1200; ++y)
        for (int x = 0; x < 300; ++x)
            if (x != 150 && image.pixel(x, y) != kUntouched)
                QFAIL(qPrintable(QString("pixel off the vertical at (%1,%2)").arg(x).arg(y)));
    QCOMPARE(Column(image, 150, 399, 401), QString(".kk"));
    QCOMPARE(Column(image, 150, 799, 801), QString("kk."));
}

void PolarDispTest::missingLabelsAreFilledForGood() {
    QWidget parent;
    parent.resize(400, 400);
    auto* disp = new TPolarDisp(&parent);
    Collector collector;
    collector.Attach(*disp);
    Fill(*disp, 1, 6, {0.1, 0.2, 0.3, 0.4, 0.5, 0.6});
    disp->SetLabels({"a", "b", "c", "d"});
    disp->TickOn = true;
    Render(*disp);
    QCOMPARE(disp->TicLabel, QStringList({"a", "b", "c", "d", "unkn.", "unkn."}));
    QTRY_COMPARE(collector.said.size(), 1);
    QCOMPARE(collector.said[0].text, kLabels);
    Render(*disp);
    QTest::qWait(20);
    QCOMPARE(collector.said.size(), 1);
    QCOMPARE(disp->CheckResult, 0);
}

void PolarDispTest::atMostFourCornerCaptions() {
    QWidget parent;
    parent.resize(600, 600);
    auto* disp = new TPolarDisp(&parent);
    Fill(*disp, 1, 3, {0, 0, 0});
    disp->SetLegs({"NW", "NE", "SW", "SE"});
    const QImage four = Render(*disp);
    const QRect corners[] = {{0, 0, 60, 30},
                             {disp->width() - 60, 0, 60, 30},
                             {0, disp->height() - 30, 60, 30},
                             {disp->width() - 60, disp->height() - 30, 60, 30}};
    for (const QRect& corner : corners)
        QVERIFY(CountColour(four.copy(corner), Rgb(clBlue)) > 10);
    disp->SetLegs({"NW", "NE", "SW", "SE", "fifth"});
    QCOMPARE(Render(*disp), four);
    disp->SetLegs({"NW"});
    const QImage one = Render(*disp);
    QVERIFY(CountColour(one.copy(corners[0]), Rgb(clBlue)) > 10);
    QCOMPARE(CountColour(one.copy(corners[3]), Rgb(clBlue)), 0);
}

void PolarDispTest::markerColoursFollowTheFirstSeries() {
    QWidget parent;
    parent.resize(401, 401);
    auto* disp = new TPolarDisp(&parent);
    Fill(*disp, 2, 4, {0.55, 0.56, 0.1, 0.3, 0.9, 0.9, 0.0, 0.9});
    disp->MarkOn = true;
    const QImage image = Render(*disp);
    // Spoke ends (60,21) (102,70) (60,119) (18,70); half side 140/18/2 = 3.
    QCOMPARE(image.pixel(60, 21), Rgb(clYellow)); // equal to range_b
    QCOMPARE(image.pixel(102, 70), Rgb(clRed));   // above range_b
    QCOMPARE(image.pixel(60, 119), Rgb(clGreen)); // below range_a
    QCOMPARE(image.pixel(18, 70), Rgb(clYellow)); // equal to range_a
    QCOMPARE(Row(image, 21, 56, 63), QString(".kyyyyk."));
}

void PolarDispTest::degenerateScalesNeverFault_data() {
    QTest::addColumn<double>("maxVal");
    QTest::addColumn<int>("grid");
    QTest::addColumn<double>("ratio");
    QTest::addColumn<bool>("markers");
    const double nan = std::numeric_limits<double>::quiet_NaN();
    QTest::newRow("maxVal 0") << 0.0 << 4 << 0.7 << true;
    QTest::newRow("maxVal negative") << -1.0 << 4 << 0.7 << true;
    QTest::newRow("maxVal tiny") << 1e-300 << 4 << 0.7 << true;
    QTest::newRow("maxVal nan") << nan << 4 << 0.7 << true;
    QTest::newRow("no rings") << 1.0 << 0 << 0.7 << true;
    QTest::newRow("negative rings") << 1.0 << -3 << 0.7 << true;
    QTest::newRow("huge ratio: markers far outside") << 1.0 << 4 << 1e300 << false;
    QTest::newRow("nan ratio: markers at the origin") << 1.0 << 4 << nan << true;
}

// Every layer on, with scales no diagram can use: it draws what it can.
void PolarDispTest::degenerateScalesNeverFault() {
    QFETCH(double, maxVal);
    QFETCH(int, grid);
    QFETCH(double, ratio);
    QFETCH(bool, markers);
    QWidget parent;
    parent.resize(400, 400);
    auto* disp = new TPolarDisp(&parent);
    Collector collector;
    collector.Attach(*disp);
    Fill(*disp, 2, 5, {0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0});
    disp->maxVal = maxVal;
    disp->nGrid = grid;
    disp->GrRatio = ratio;
    disp->GridOn = disp->TickOn = disp->MarkOn = disp->RangeOn = true;
    disp->SetLegs({"1", "2", "3", "4"});
    const QImage image = Render(*disp);
    QVERIFY(disp->CheckResult >= 0);
    // All values 0 lie below range_a: the markers that land on the image are green.
    QCOMPARE(CountColour(image, Rgb(clGreen)) > 0, markers);
}

QTEST_MAIN(PolarDispTest)
#include "polardisp_test.moc"
