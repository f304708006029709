// SPDX-License-Identifier: MIT
#include <QtUiPlugin/QDesignerCustomWidgetCollectionInterface>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>

#include <QImage>
#include <QPluginLoader>
#include <QTest>
#include <QWidget>

// Loads the built plugin as Designer does; the test links no controls of
// its own, so everything it sees comes through the plugin.
class DesignerTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void registersTheThreeControls();
    void createsWorkingControls();

private:
    QPluginLoader loader_{QStringLiteral(NEBELKAMM_DESIGNER_PLUGIN)};
    QList<QDesignerCustomWidgetInterface*> widgets_;
};

void DesignerTest::initTestCase() {
    QObject* instance = loader_.instance();
    QVERIFY2(instance, qPrintable(loader_.errorString()));
    auto* collection = qobject_cast<QDesignerCustomWidgetCollectionInterface*>(instance);
    QVERIFY(collection);
    widgets_ = collection->customWidgets();
}

void DesignerTest::registersTheThreeControls() {
    QStringList names;
    for (auto* w : widgets_) {
        names << w->name();
        QCOMPARE(w->group(), QString("Benutzerkomponenten"));
        QVERIFY(!w->isContainer());
        QVERIFY(w->domXml().contains(QString("class=\"%1\"").arg(w->name())));
        QVERIFY(w->includeFile().startsWith("controls/"));
    }
    QCOMPARE(names, QStringList({"TValEdit", "TPolarDisp", "TDispLabel", "TChart"}));
}

void DesignerTest::createsWorkingControls() {
    QWidget form;
    form.resize(400, 300);
    QHash<QString, QWidget*> made;
    for (auto* w : widgets_) {
        QWidget* widget = w->createWidget(&form);
        QVERIFY(widget);
        QCOMPARE(QString(widget->metaObject()->className()), w->name());
        made[w->name()] = widget;
    }

    QWidget* edit = made["TValEdit"];
    QVERIFY(edit->setProperty("Precision", 2));
    QVERIFY(edit->setProperty("Value", 3.14159));
    QCOMPARE(edit->property("Value").toDouble(), 3.14159);
    QVERIFY(edit->property("text").toString().endsWith("3.14"));

    // The plot frame fills the form; the polar diagram places itself.
    QCOMPARE(made["TDispLabel"]->geometry(), form.rect());
    QCOMPARE(made["TPolarDisp"]->geometry(), QRect(180, 75, 120, 105));
    const QImage plot = made["TDispLabel"]->grab().toImage();
    QCOMPARE(plot.pixel(40, 30), qRgb(0, 0, 0));       // frame corner
    QCOMPARE(plot.pixel(41, 31), qRgb(255, 255, 255)); // fill
    QCOMPARE(made["TPolarDisp"]->property("nGrid").toInt(), 4);
    QCOMPARE(made["TDispLabel"]->property("GridStyle").toInt(), 2); // dotted
}

QTEST_MAIN(DesignerTest)
#include "designer_test.moc"
