// SPDX-License-Identifier: MIT
#include "BoxCatcher.h"

#include "app/ChartWindow.h"
#include "app/Main.h"
#include "controls/Chart.h"
#include "controls/Valedit.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFontMetrics>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {

const char* const Results[] = {"ValEdit4",  "ValEdit6",  "ValEdit8",
                               "ValEdit12", "ValEdit13", "ValEdit14"};

QString Shown(const TMainForm& form, const char* field) {
    return form.Field(field)->text().trimmed();
}

std::string Get(const QString& name) {
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : "<missing>";
}

} // namespace

class MainFormTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString previous_;

private Q_SLOTS:
    void initTestCase() {
        UseWindowFont();
        previous_ = QDir::currentPath();
    }
    void init() {
        QFile::remove(dir_.filePath("Nebelkamm.ini"));
        QVERIFY(QDir::setCurrent(dir_.path()));
    }
    void cleanupTestCase() { QDir::setCurrent(previous_); }

    void layoutAndCaptions() {
        TMainForm form({});
        QCOMPARE(form.windowTitle(), QStringLiteral("Condensation at charge air cooler"));
        QVERIFY(form.width() >= 327 && form.height() >= 416);
        // No caption label reaches into its field (fields start at 208).
        for (QLabel* label : form.findChildren<QLabel*>()) {
            const QFontMetrics m(label->font());
            if (label->x() == 16)
                QVERIFY2(m.horizontalAdvance(label->text()) <= 192, qPrintable(label->text()));
            QVERIFY2(m.horizontalAdvance(label->text()) <= label->width(),
                     qPrintable(label->text()));
        }
        const QStringList order = {"ValEdit1",  "ValEdit2",  "ValEdit3",  "ValEdit4",  "ValEdit5",
                                   "ValEdit6",  "ValEdit8",  "ValEdit9",  "ValEdit10", "ValEdit11",
                                   "ValEdit12", "ValEdit13", "ValEdit14", "Button1",   "btnExit"};
        QWidget* w = form.findChild<QWidget*>(order.front());
        for (const QString& next : order.mid(1)) {
            do
                w = w->nextInFocusChain();
            while (!(w->focusPolicy() & Qt::TabFocus));
            QCOMPARE(w->objectName(), next);
        }
        for (const char* r : Results)
            QVERIFY(form.Field(r)->isReadOnly());
        QVERIFY(form.Field("ValEdit4")->font().italic());
        QVERIFY(!form.Field("ValEdit14")->font().italic());
        QCOMPARE(form.Field("ValEdit11")->MaxVal(), 100000.0);
        QCOMPARE(form.Field("ValEdit3")->Precision(), 2);
    }

    // The column table and the Designer form describe the same thirteen rows.
    void columnTableMatchesTheForm() {
        TMainForm form({});
        for (int row = 1; row <= 13; ++row) {
            const nebelkamm::Column* c = nebelkamm::WindowColumn(row);
            QVERIFY2(c, qPrintable(QString::number(row)));
            const TValEdit* field = form.FieldOf(*c);
            QVERIFY2(field, c->Key);
            QCOMPARE(field->Precision(), c->Decimals);
            QCOMPARE(field->isReadOnly(), c->Group != nebelkamm::ColumnGroup::Input);
            // Caption and unit labels stand between this field's top and the next one's.
            const int top = field->y();
            const nebelkamm::Column* below = nebelkamm::WindowColumn(row + 1);
            const int next = below ? form.FieldOf(*below)->y() : top + 40;
            QStringList caption, unit;
            QList<QLabel*> labels = form.findChildren<QLabel*>();
            std::sort(labels.begin(), labels.end(),
                      [](QLabel* a, QLabel* b) { return a->y() < b->y(); });
            for (QLabel* label : labels) {
                if (label->y() < top || label->y() >= next)
                    continue;
                (label->x() == 16 ? caption : unit) << label->text();
            }
            QCOMPARE(caption.join(' '), QString::fromUtf8(c->Caption));
            QCOMPARE(unit.join(' '), QString::fromUtf8(c->Unit));
        }
    }

    // The menu's entries as offered; the first one triggered when enabled.
    QStringList OpenMenuAndCopy(TMainForm& form) {
        QStringList offered;
        QTimer watch; // looks for the menu until it is open
        connect(&watch, &QTimer::timeout, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu)
                return;
            watch.stop();
            for (QAction* a : menu->actions())
                offered << a->text() + (a->isEnabled() ? "" : " (off)");
            if (menu->actions().front()->isEnabled())
                menu->actions().front()->trigger();
            menu->close();
        });
        watch.start(5);
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(100, 380),
                                form.mapToGlobal(QPoint(100, 380)));
        QApplication::sendEvent(&form, &event);
        return offered;
    }

    void contextMenuCopiesTheRowsAsATable() {
        TMainForm form({"90", "37", "1.02", "2.4", "40", "7.8", "41200"});
        form.show();
        QGuiApplication::clipboard()->clear();
        QCOMPARE(OpenMenuAndCopy(form), QStringList({"Copy results (off)", "Condensate chart…"}));
        QCOMPARE(QGuiApplication::clipboard()->text(), QString()); // nothing before a Calculate
        form.Button1Click();
        QCOMPARE(OpenMenuAndCopy(form), QStringList({"Copy results", "Condensate chart…"}));
        const QStringList lines =
            QGuiApplication::clipboard()->text().split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 13 + 1 + 1 + 8);
        QCOMPARE(lines[0], QStringLiteral("Relative humidity\t90.0\t[%]"));
        QCOMPARE(lines[6],
                 QStringLiteral("Temperature where condensation takes place\t58.5\t[°C]"));
        QCOMPARE(lines[12],
                 QStringLiteral("Theoretical water content at separator\t7224.4\t[kg/h]"));
        QCOMPARE(lines[13], QStringLiteral("Water at separator per day\t173.39\t[t/day]"));
        QCOMPARE(lines[14],
                 QStringLiteral("Reference (ASHRAE, absolute pressure), air flow of humid air"));
        QCOMPARE(lines[17], QStringLiteral("Dew point in cooler (over water)\t58.8\t[°C]"));
        QCOMPARE(lines[20],
                 QStringLiteral("Theoretical water content at separator\t7065.0\t[kg/h]"));
        QCOMPARE(lines[22], QStringLiteral("Margin after cooler above dew point\t-18.8\t[K]"));
    }

    // What is copied is one computation: typing over a field afterwards
    // changes nothing of it; a failed Calculate copies its inputs and why it
    // has no results, never the numbers of the one before.
    void copiedResultsAreOneComputation() {
        TMainForm form({"90", "37", "1.02", "2.4", "40", "7.8", "41200"});
        form.Button1Click();
        form.Field("ValEdit1")->SetValue(30);
        const QString copied = form.ResultsText();
        QVERIFY(copied.startsWith(QStringLiteral("Relative humidity\t90.0\t[%]\n")));
        QVERIFY(copied.contains(QStringLiteral("separator\t7224.4\t[kg/h]\n")));
        form.Field("ValEdit1")->SetValue(0);
        BoxCatcher boxes;
        form.Button1Click();
        const QString failed = form.ResultsText();
        QVERIFY(failed.startsWith(QStringLiteral("Relative humidity\t0.0\t[%]\n")));
        QVERIFY(failed.contains(QStringLiteral("\nNo result: Floating point division by zero.\n")));
        QVERIFY2(!failed.contains(QStringLiteral("7224.4")), qPrintable(failed));
        QCOMPARE(failed.count('\n'), 7 + 1 + 1 + 2); // inputs, no result, warning, reference
    }

    // Return on a focused push button presses it; in a field it does nothing.
    void returnPressesTheFocusedButton() {
        TMainForm form({"90", "37", "1.02", "2.4", "40", "7.8", "41200"});
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.Field("ValEdit1")->setFocus();
        QTest::keyClick(form.Field("ValEdit1"), Qt::Key_Return);
        QCOMPARE(Shown(form, "ValEdit14"), QStringLiteral("0.0"));
        auto* calculate = form.findChild<QPushButton*>("Button1");
        calculate->setFocus();
        QTest::keyClick(calculate, Qt::Key_Return);
        QTRY_COMPARE(Shown(form, "ValEdit14"), QStringLiteral("7224.4"));
    }

    void chartFollowsEveryCalculate() {
        TMainForm form({"90", "37", "1.02", "2.4", "40", "7.8", "41200"});
        TChartWindow* chart = form.ShowChart();
        QCOMPARE(chart->Chart().Marker().value(), 40.0);
        form.Field("ValEdit9")->SetValue(45);
        form.Button1Click();
        QCOMPARE(chart->Chart().Marker().value(), 45.0);
        QVERIFY(std::fabs(chart->Chart().Series().front().Knee.value() - 58.49) < 0.01);
        // The reference curve's knee is its dew point at the cooler's pressure.
        QCOMPARE(chart->Chart().Series().size(), 2u);
        QVERIFY(std::fabs(chart->Chart().Series()[1].Knee.value() -
                          nebelkamm::ComputeReference(form.Inputs()).DewPointTemperature) < 1e-6);
        chart->ChartOver("RelativeHumidity");
        QCOMPARE(chart->Chart().Marker().value(), 90.0);
        QCOMPARE(chart->Chart().GetXLabel(), QStringLiteral("Relative humidity [%]"));
        chart->ChartOver("ScavingAirPressure");
        QVERIFY(std::fabs(chart->Chart().Marker().value() - 2.4) < 1e-6);
        // A failed Calculate: no curve, and why not in its place.
        form.Field("ValEdit1")->SetValue(0);
        BoxCatcher boxes;
        form.Button1Click();
        QVERIFY(!chart->Chart().Marker());
        QCOMPARE(chart->Chart().Series().front().Remark,
                 QStringLiteral("No result: Floating point division by zero."));
    }

    // A chart that cannot be saved says why in a box and leaves no file.
    void chartSaveFailuresAreSaid() {
        TMainForm form({});
        form.Button1Click();
        TChartWindow* chart = form.ShowChart();
        QTemporaryDir dir;
        const struct {
            QString path;
            QString said;
        } cases[] = {
            {dir.filePath("missing/c.png"), "cannot create " + dir.filePath("missing/c.png")},
            {dir.filePath("c.gif"),
             dir.filePath("c.gif") + ": a chart is saved as .png, .svg or .pdf"},
        };
        for (const auto& c : cases) {
            BoxCatcher boxes;
            QVERIFY(!chart->SaveAs(c.path));
            QCOMPARE(boxes.boxes.size(), 1);
            QVERIFY2(boxes.boxes.front().text.startsWith(c.said),
                     qPrintable(boxes.boxes.front().text));
            QCOMPARE(boxes.boxes.front().icon, QMessageBox::Critical);
        }
        QVERIFY(QDir(dir.path()).isEmpty());
    }

    // A range typed into the chart's boxes is charted exactly, on a round
    // step of about 150 points; one that runs backwards changes nothing;
    // "Automatic" goes back to the range chosen from the point.
    void chartShowsATypedRange_data() {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<bool>("taken");
        QTest::newRow("20 to 60") << "20"
                                  << "60" << true;
        QTest::newRow("half a kelvin") << "10"
                                       << "10.5" << true;
        QTest::newRow("all it may be") << "-50"
                                       << "200" << true;
        QTest::newRow("backwards") << "60"
                                   << "20" << false;
    }

    void chartShowsATypedRange() {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(bool, taken);
        TMainForm form({"90", "37", "1.02", "2.4", "40", "7.8", "41200"});
        TChartWindow* chart = form.ShowChart();
        const nebelkamm::SweepRange automatic = chart->Range();
        const auto boxes = chart->findChildren<QDoubleSpinBox*>();
        QCOMPARE(boxes.size(), 2);
        const auto type = [](QDoubleSpinBox* box, const QString& text) {
            box->selectAll();
            QTest::keyClicks(box, text);
            QTest::keyClick(box, Qt::Key_Return);
        };
        type(boxes[0], from);
        const nebelkamm::SweepRange before = chart->Range();
        type(boxes[1], to);
        const nebelkamm::SweepRange r = chart->Range();
        if (!taken) {
            QCOMPARE(r.From, before.From);
            QCOMPARE(r.To, before.To);
            QCOMPARE(boxes[1]->value(), before.To); // the box says so
            return;
        }
        QCOMPARE(r.From, from.toDouble());
        QCOMPARE(r.To, to.toDouble());
        const double magnitude = std::pow(10.0, std::floor(std::log10(r.Step)));
        const double m = r.Step / magnitude;
        QVERIFY2(std::fabs(m - 1) < 1e-9 || std::fabs(m - 2) < 1e-9 || std::fabs(m - 5) < 1e-9,
                 qPrintable(QString::number(r.Step)));
        const double points = (r.To - r.From) / r.Step;
        QVERIFY2(points >= 150 && points <= 375, qPrintable(QString::number(points)));
        const double scaled = r.Step * std::pow(10.0, r.Decimals);
        QVERIFY(std::fabs(scaled - std::round(scaled)) < 1e-9 * scaled);
        QVERIFY(chart->Chart().XAxis().Lo <= r.From && chart->Chart().XAxis().Hi >= r.To);
        for (QPushButton* button : chart->findChildren<QPushButton*>())
            if (button->text() == QStringLiteral("Automatic"))
                button->click();
        QCOMPARE(chart->Range().From, automatic.From);
        QCOMPARE(chart->Range().To, automatic.To);
        QCOMPARE(chart->Range().Step, automatic.Step);
    }

    void firstStartWritesTheFileAndShowsTheInputs() {
        TMainForm form({});
        QVERIFY(QFile::exists("Nebelkamm.ini"));
        const char* inputs[][2] = {{"ValEdit1", "50.0"},    {"ValEdit2", "20.0"},
                                   {"ValEdit3", "1.20"},    {"ValEdit5", "2.4"},
                                   {"ValEdit9", "40.0"},    {"ValEdit10", "7.8"},
                                   {"ValEdit11", "40000.0"}};
        for (auto& [field, text] : inputs)
            QCOMPARE(Shown(form, field), QString::fromLatin1(text));
        const char* zeros[] = {"0.0000", "0.00", "0.0", "0.0000", "0.0000", "0.0"};
        for (int i = 0; i < 6; ++i)
            QCOMPARE(Shown(form, Results[i]), QString::fromLatin1(zeros[i]));
    }

    void calculateShowsTheResults() {
        TMainForm form({});
        form.findChild<QPushButton*>("Button1")->click();
        const char* shown[] = {"0.0061", "3.00", "23.7", "0.0157", "0.0000", "0.0"};
        for (int i = 0; i < 6; ++i)
            QCOMPARE(Shown(form, Results[i]), QString::fromLatin1(shown[i]));
    }

    void commandLineOverridesAndSummerPoint() {
        TMainForm form({"90", "37", "1.02", "2.4", "40", "7.8", "41200"});
        form.Button1Click();
        const char* shown[] = {"0.0365", "3.35", "58.5", "0.0140", "0.0225", "7224.4"};
        for (int i = 0; i < 6; ++i)
            QCOMPARE(Shown(form, Results[i]), QString::fromLatin1(shown[i]));
        // The window and the command line share one computation.
        const auto r = nebelkamm::ComputeChargeAir(form.Inputs());
        QCOMPARE(form.Field(Results[5])->Value(), r.WaterAtSeparator);
    }

    void divisionByZeroKeepsTheResults() {
        TMainForm form({});
        form.Button1Click();
        form.Field("ValEdit1")->SetValue(0);
        BoxCatcher boxes;
        form.Button1Click();
        QCOMPARE(boxes.boxes.size(), 1);
        QCOMPARE(boxes.boxes.front().text, QStringLiteral("Floating point division by zero."));
        QCOMPARE(boxes.boxes.front().icon, QMessageBox::Critical);
        QCOMPARE(boxes.boxes.front().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(Shown(form, "ValEdit4"), QStringLiteral("0.0061"));
        QCOMPARE(Shown(form, "ValEdit8"), QStringLiteral("23.7"));
        QCOMPARE(form.Inputs().RelativeHumidity, 0.0); // a close saves it
    }

    void mathReportShowsItsOwnBoxThenTheResults() {
        QFile f("Nebelkamm.ini");
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Input]\nScavingAirPressure=-1.2\nPressureBeforeBlower=1.2\n");
        f.close();
        TMainForm form({});
        BoxCatcher boxes;
        form.Button1Click();
        QCOMPARE(boxes.boxes.size(), 1);
        QCOMPARE(boxes.boxes.front().text, QStringLiteral("log: SING error"));
        QCOMPARE(boxes.boxes.front().title, QCoreApplication::applicationName());
        QCOMPARE(Shown(form, "ValEdit8"), QStringLiteral("-236.3"));
    }

    void typingWithoutCalculateDoesNotReachTheFile() {
        {
            TMainForm form({});
            form.show();
            form.Field("ValEdit1")->SetValue(77);
            QVERIFY(form.close());
        }
        QVERIFY(Get("Nebelkamm.ini").find("RelativeHumidity=50\n") != std::string::npos);
        {
            TMainForm form({});
            form.Field("ValEdit1")->SetValue(77);
            form.Button1Click();
            QVERIFY(form.close());
        }
        QVERIFY(Get("Nebelkamm.ini").find("RelativeHumidity=77\n") != std::string::npos);
    }

    void readOnlySettingsFileAsksBeforeClosing() {
        TMainForm form({});
        form.show();
        QFile::setPermissions("Nebelkamm.ini", QFile::ReadOwner);
        BoxCatcher boxes;
        boxes.answer = QMessageBox::No;
        QVERIFY(!form.close());
        QVERIFY(form.isVisible());
        QCOMPARE(boxes.boxes.size(), 2);
        QCOMPARE(boxes.boxes[0].text, QStringLiteral("Unable to write to ./Nebelkamm.ini."));
        QCOMPARE(boxes.boxes[1].text, QStringLiteral("Close without saving the inputs?"));
        boxes.answer = QMessageBox::Yes;
        QVERIFY(form.close());
        QCOMPARE(boxes.boxes.size(), 4);
        QFile::setPermissions("Nebelkamm.ini", QFile::ReadOwner | QFile::WriteOwner);
    }

    void opensAtTheLayoutPositionInsideTheScreen() {
        TMainForm form({});
        const QRect area = form.screen()->availableGeometry();
        QVERIFY(area.contains(QRect(QPoint(361, 175), form.size()))); // 800 x 600 offscreen
        QCOMPARE(form.pos(), QPoint(361, 175));
    }

    void failedCreateAtStartRaises() {
        QDir().mkdir("Nebelkamm.ini");
        QString message;
        try {
            const TMainForm form(std::vector<std::string>{});
        } catch (const std::exception& e) {
            message = QString::fromUtf8(e.what());
        }
        QCOMPARE(message, QStringLiteral("Unable to write to ./Nebelkamm.ini"));
        QDir().rmdir("Nebelkamm.ini");
    }

    void pendingEntryIsValidatedBeforeCalculate() {
        TMainForm form({});
        form.show();
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        TValEdit* humidity = form.Field("ValEdit1");
        humidity->setFocus();
        humidity->selectAll();
        QTest::keyClicks(humidity, "90");
        auto* button = form.findChild<QPushButton*>("Button1");
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(form.Inputs().RelativeHumidity, 90.0);
        QCOMPARE(Shown(form, "ValEdit4"), QStringLiteral("0.0111"));
    }
};

QTEST_MAIN(MainFormTest)
#include "mainform_test.moc"
