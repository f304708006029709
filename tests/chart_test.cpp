// SPDX-License-Identifier: MIT
#include "controls/Chart.h"
#include "controls/ChartFile.h"
#include "model/Exception.h"

#include "Pixels.h"

#include <QFile>
#include <QFontMetrics>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <cmath>

using namespace nebelkamm;

namespace {

constexpr int W = 400, H = 300;

// A straight curve from (0, 10) down to (5, 0), then along 0 to 10, its
// knee at 5; the present point at 2.5.
void Fill(TChart& chart) {
    ChartSeries s;
    s.Name = QStringLiteral("water");
    s.Color = clBlue;
    for (int i = 0; i <= 10; ++i)
        s.Points.emplace_back(i, std::max(0, 10 - 2 * i));
    s.Knee = 5;
    chart.SetSeries({s});
    chart.SetMarker(2.5, QStringLiteral("here"));
}

QImage Rendered(const TChart& chart) {
    QImage image(W, H, QImage::Format_RGB32);
    image.fill(kUntouched);
    QPainter painter(&image);
    chart.Render(painter, W, H);
    return image;
}

} // namespace

class ChartTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QFont font(QStringLiteral("Liberation Sans"));
        font.setPixelSize(11);
        QApplication::setFont(font);
    }

    void roundAxes_data() {
        QTest::addColumn<double>("lo");
        QTest::addColumn<double>("hi");
        QTest::addColumn<int>("most");
        QTest::addColumn<double>("Lo");
        QTest::addColumn<double>("Hi");
        QTest::addColumn<double>("Step");
        QTest::newRow("cooler outlet") << 20.0 << 70.0 << 8 << 20.0 << 70.0 << 10.0;
        QTest::newRow("water, 2 x 10^3") << 0.0 << 10317.7 << 6 << 0.0 << 12000.0 << 2000.0;
        QTest::newRow("pressure, 5 x 10^-1") << 0.5 << 4.5 << 8 << 0.5 << 4.5 << 0.5;
        QTest::newRow("humidity, widened") << 5.0 << 100.0 << 8 << 0.0 << 100.0 << 20.0;
        QTest::newRow("one value") << 3.0 << 3.0 << 4 << 2.8 << 3.2 << 0.1;
        QTest::newRow("negative") << -236.3 << 58.5 << 6 << -300.0 << 100.0 << 100.0;
    }

    void roundAxes() {
        QFETCH(double, lo);
        QFETCH(double, hi);
        QFETCH(int, most);
        QFETCH(double, Lo);
        QFETCH(double, Hi);
        QFETCH(double, Step);
        const nebelkamm::Scale a = nebelkamm::RoundScale(lo, hi, most);
        QCOMPARE(a.Step, Step);
        QVERIFY(std::fabs(a.Lo - Lo) < 1e-9 && std::fabs(a.Hi - Hi) < 1e-9);
        QVERIFY(a.Intervals <= most);
        QCOMPARE(a.Intervals, static_cast<int>(std::lround((a.Hi - a.Lo) / a.Step)));
    }

    // The frame, the grid on the round ticks, the curve's ends, the knee and
    // the present point, at the pixels the axes put them.
    void pixelsAtKnownPoints() {
        QWidget parent;
        parent.resize(W, H);
        auto* chart = new TChart(&parent);
        Fill(*chart);
        const QImage image = Rendered(*chart);
        // Axes: x 0..10 in 5 steps of 2, y 0..10 in 5 steps of 2.
        QCOMPARE(chart->XAxis().Step, 2.0);
        QCOMPARE(chart->YAxis().Intervals, 5);
        const int L = int(W * 0.14), T = int(H * 0.1), R = int(W * 0.94), B = int(H * 0.82);
        const int sx = (R - L) / 5, sy = (B - T) / 5;
        QCOMPARE(image.pixel(L, (T + B) / 2 + 1), Rgb(clBlack)); // frame's left edge
        QCOMPARE(image.pixel(R - 1, T + 1), Rgb(clBlack));       // its right edge
        QCOMPARE(image.pixel(L + sx, T + 1), Rgb(clBlack));      // a dotted grid line starts
        QCOMPARE(image.pixel(R - 5, T + 5), Rgb(clWhite));       // inside: the display colour
        // The curve passes (1, 8) and runs flat on 0 after the knee.
        QCOMPARE(image.pixel(L + sx / 2, T + sy), Rgb(clBlue));
        QCOMPARE(image.pixel(L + 4 * sx, T + 5 * sy), Rgb(clBlue));
        // The knee's diamond at (5, 0) and the present point's dot at (2.5, 5).
        const int kx = L + PixelTrunc(5.0 / 2 * sx), ky = T + 5 * sy;
        QCOMPARE(image.pixel(kx, ky - 3), Rgb(clBlue));
        const int mx = L + PixelTrunc(2.5 / 2 * sx), my = T + PixelTrunc(5.0 / 2 * sy);
        QCOMPARE(image.pixel(mx, my), Rgb(clRed));
        // Every tick has its value below it, in black.
        for (int k = 0; k <= 5; ++k)
            QVERIFY2(Row(image, B + 9, L + k * sx - 8, L + k * sx + 8).contains('k'),
                     qPrintable(QString::number(k)));
        QCOMPARE(CountColour(image, kUntouched), 0); // the background too
    }

    // A second curve in its colour, a legend with both, and the knee values
    // stacked so that close knees stay readable.
    void secondCurveAndLegend() {
        QWidget parent;
        parent.resize(W, H);
        auto* chart = new TChart(&parent);
        Fill(*chart);
        std::vector<ChartSeries> two = chart->Series();
        ChartSeries s;
        s.Name = QStringLiteral("reference");
        s.Color = clGreen;
        for (int i = 0; i <= 10; ++i)
            s.Points.emplace_back(i, std::max(0, 6 - i));
        s.Knee = 6;
        two.push_back(s);
        chart->SetSeries(two);
        const QImage image = Rendered(*chart);
        const int L = int(W * 0.14), T = int(H * 0.1), R = int(W * 0.94), B = int(H * 0.82);
        const int sx = (R - L) / 5, sy = (B - T) / 5;
        QCOMPARE(image.pixel(L + sx / 2, T + PixelTrunc(2.5 * sy)), Rgb(clGreen)); // (1, 5)
        QCOMPARE(image.pixel(L + PixelTrunc(6.0 / 2 * sx), B - 3), Rgb(clGreen));  // its knee
        // The legend: a blue and, below it, a green sample line in the top right.
        int blue = -1, green = -1;
        for (int y = T + 1; y < T + 60; ++y) {
            const QString row = Row(image, y, L + 3 * sx, R - 2);
            if (blue < 0 && row.contains(QStringLiteral("bbbbbbbbbbbbbbbbbbbb")))
                blue = y;
            if (green < 0 && row.contains(QStringLiteral("gggggggggggggggggggg")))
                green = y;
        }
        QVERIFY2(blue > 0 && green > blue,
                 qPrintable(QStringLiteral("%1 %2").arg(blue).arg(green)));
        // The knee values beside their diamonds, on boxes that do not meet.
        const ChartLayout layout = chart->Arrange(W, H, QFontMetrics(chart->font()));
        QCOMPARE(layout.Knees.size(), 2u);
        QCOMPARE(layout.Labels.size(), 3u); // the present point's and the two knees'
        for (std::size_t k = 0; k < 2; ++k) {
            const QRect box = layout.Labels[k + 1].Box;
            QVERIFY(box.adjusted(-12, -12, 12, 12).contains(layout.Knees[k]));
        }
        QVERIFY(!layout.Labels[1].Box.intersects(layout.Labels[2].Box));
    }

    void savedAsSvgAndPdf() {
        TChart chart;
        Fill(chart);
        QTemporaryDir dir;
        SaveChart(chart, dir.filePath("c.svg"), QSize(W, H));
        QFile svg(dir.filePath("c.svg"));
        QVERIFY(svg.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&svg);
        int elements = 0;
        QString root;
        while (!xml.atEnd())
            if (xml.readNext() == QXmlStreamReader::StartElement && elements++ == 0)
                root = xml.name().toString();
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QCOMPARE(root, QStringLiteral("svg"));
        QVERIFY(elements > 20);

        SaveChart(chart, dir.filePath("c.PDF"), QSize(W, H));
        QFile pdf(dir.filePath("c.PDF"));
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        const QByteArray bytes = pdf.readAll();
        QVERIFY(bytes.startsWith("%PDF-"));
        QCOMPARE(bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r") +
                     bytes.count("/Type /Page "),
                 1);

        std::string why;
        try {
            SaveChart(chart, dir.filePath("c.gif"), QSize(W, H));
        } catch (const nebelkamm::EUsageError& e) {
            why = e.Message();
        }
        QVERIFY2(why.ends_with("c.gif: a chart is saved as .png, .svg or .pdf"), why.c_str());
        QVERIFY(!QFile::exists(dir.filePath("c.gif")));
    }
};

QTEST_MAIN(ChartTest)
#include "chart_test.moc"
