// SPDX-License-Identifier: MIT
// The condensate chart at operating points that used to hide what matters:
// over the range chosen from the point, the present point and every knee lie
// inside the plot, no two boxes of text meet, and no water is negative.
#include "chart/CondensateChart.h"
#include "core/Sweep.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QTest>

using namespace nebelkamm;

Q_DECLARE_METATYPE(ChargeAirInputs)

// The chart in the chart window at the window's first size, in the window's
// font; the plotting plugin's; a large window.
const struct {
    QSize Size;
    int Pixels;
} Views[] = {{{698, 429}, 12}, {{800, 500}, 13}, {{1600, 1000}, 12}};

class CondensateChartTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QFont font(QStringLiteral("Liberation Sans"));
        font.setPixelSize(13);
        QGuiApplication::setFont(font);
    }

    void showsThePointAndEveryKnee_data() {
        QTest::addColumn<ChargeAirInputs>("point");
        QTest::addColumn<QString>("over");
        const struct {
            const char* name;
            ChargeAirInputs point;
        } points[] = {
            {"humid summer day", {90, 37, 1.02, 2.4, 40, 7.8, 41200}},
            {"95 %, 45 C, 4.5 bar", {95, 45, 1.02, 4.5, 40, 7.8, 41200}},
            {"10 C after the cooler", {90, 37, 1.02, 2.4, 10, 7.8, 41200}},
            {"cold dry day", {20, 0, 1.02, 2.4, 40, 7.8, 41200}},
            {"past every knee", {90, 37, 1.02, 2.4, 75, 7.8, 41200}},
            {"a new user's first point", {90, 35, 1.01, 3.5, 45, 7.5, 30000}},
        };
        for (const auto& p : points)
            for (const char* key : {"TempAfterCooler", "RelativeHumidity", "ScavingAirPressure"})
                QTest::addRow("%s over %s", p.name, key) << p.point << QString::fromLatin1(key);
    }

    void showsThePointAndEveryKnee() {
        QFETCH(ChargeAirInputs, point);
        QFETCH(QString, over);
        const Column& swept = *InputByKey(over.toStdString());
        const EvaluationOptions options{AirBasis::Humid};
        const SweepRange range = AutomaticRange(point, swept, options);
        const Sweep sweep = ComputeSweep(
            point, swept, SweepPoints(range.From, range.To, range.Step, range.Decimals), options);
        const ChartContent chart = CondensateChart(sweep, Evaluate(point, options));
        QVERIFY(chart.Y.Lo >= 0);
        QVERIFY(chart.Marker.has_value());
        for (const auto& view : Views) {
            QFont font = QGuiApplication::font();
            font.setPixelSize(view.Pixels);
            const QFontMetrics metrics(font);
            const ChartLayout layout =
                ArrangeChart(chart, chart.Frame(), view.Size.width(), view.Size.height(), metrics);
            QVERIFY(layout.Marker && layout.Plot.contains(*layout.Marker));
            QCOMPARE(layout.Knees.size(),
                     std::size_t(bool(sweep.Knee) + bool(sweep.ReferenceKnee)));
            for (const QPoint knee : layout.Knees)
                QVERIFY(layout.Plot.contains(knee));
            // The present point's label, each knee's and each remark are
            // there, none meeting another box, the legend or the frame.
            const auto remarks =
                std::count_if(chart.Series.begin(), chart.Series.end(),
                              [](const ChartSeries& s) { return !s.Remark.isEmpty(); });
            QCOMPARE(layout.Labels.size(), 1 + layout.Knees.size() + std::size_t(remarks));
            // Boxes keep three blank pixels between them, and text two from
            // its box's frame, so that nothing reads as touching.
            std::vector<std::pair<QString, QRect>> boxes;
            for (const ChartLayout::Label& label : layout.Labels)
                boxes.emplace_back(label.Text, label.Box);
            if (!layout.Legend.isEmpty())
                boxes.emplace_back(QStringLiteral("legend"), layout.Legend);
            for (std::size_t i = 0; i < boxes.size(); ++i) {
                const auto& [text, box] = boxes[i];
                QVERIFY2(layout.Plot.adjusted(1, 1, -1, -1).contains(box), qPrintable(text));
                for (std::size_t j = i + 1; j < boxes.size(); ++j)
                    QVERIFY2(!box.adjusted(-3, -3, 3, 3).intersects(boxes[j].second),
                             qPrintable(text + " / " + boxes[j].first));
            }
            for (const ChartLayout::Label& label : layout.Labels)
                QVERIFY2(label.Box.adjusted(3, 3, -3, -3).width() >=
                             metrics.horizontalAdvance(label.Text),
                         qPrintable(label.Text));
            for (const QRect text : layout.LegendTexts)
                QVERIFY(layout.Legend.adjusted(3, 3, -3, -3).contains(text));
        }
    }

    // A range without condensation says so instead of drawing a flat line;
    // a point outside the range is said to be there.
    void saysWhatItCannotShow() {
        const ChargeAirInputs summer{90, 37, 1.02, 2.4, 40, 7.8, 41200};
        const Column& outlet = *InputByKey("TempAfterCooler");
        const Sweep sweep = ComputeSweep(summer, outlet, SweepPoints(60, 70, 0.5, 1));
        const ChartContent chart = CondensateChart(sweep, Evaluate(summer));
        QVERIFY(!chart.Series.front().Drawn);
        QStringList said;
        for (const auto& label :
             ArrangeChart(chart, chart.Frame(), 700, 440, QFontMetrics(QGuiApplication::font()))
                 .Labels)
            said << label.Text;
        QVERIFY(said.contains(QStringLiteral("no condensation between 60 and 70 °C")));
        QVERIFY(said.contains(QStringLiteral("present point at 40.0 °C, outside the range")));
        QCOMPARE(chart.Y.Lo, 0.0);
    }
};

QTEST_MAIN(CondensateChartTest)
#include "condensatechart_test.moc"
