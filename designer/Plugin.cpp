// SPDX-License-Identifier: MIT
#include "designer/Plugin.h"

#include "controls/Chart.h"
#include "controls/Displabel.h"
#include "controls/Polardisp.h"
#include "controls/Valedit.h"

#include <QIcon>

namespace {

// What Designer needs to know of one control; W is the control's class.
template <class W> class ControlEntry : public QDesignerCustomWidgetInterface {
public:
    ControlEntry(QString name, QString header, QString toolTip, QString domXml)
        : name_(std::move(name)), header_(std::move(header)), toolTip_(std::move(toolTip)),
          domXml_(std::move(domXml)) {}

    QString name() const override { return name_; }
    QString group() const override { return QStringLiteral("Benutzerkomponenten"); }
    QString toolTip() const override { return toolTip_; }
    QString whatsThis() const override { return toolTip_; }
    QString includeFile() const override { return header_; }
    QIcon icon() const override { return {}; }
    bool isContainer() const override { return false; }
    QWidget* createWidget(QWidget* parent) override { return new W(parent); }
    bool isInitialized() const override { return initialized_; }
    void initialize(QDesignerFormEditorInterface*) override { initialized_ = true; }
    QString domXml() const override { return domXml_; }

private:
    QString name_, header_, toolTip_, domXml_;
    bool initialized_ = false;
};

QString WidgetXml(const QString& cls, const QString& name, int w, int h) {
    return QStringLiteral("<ui language=\"c++\"><widget class=\"%1\" name=\"%2\">"
                          "<property name=\"geometry\"><rect><x>0</x><y>0</y>"
                          "<width>%3</width><height>%4</height></rect></property>"
                          "</widget></ui>")
        .arg(cls, name)
        .arg(w)
        .arg(h);
}

} // namespace

NebelkammControls::NebelkammControls(QObject* parent) : QObject(parent) {
    widgets_ << new ControlEntry<TValEdit>(
                    QStringLiteral("TValEdit"), QStringLiteral("controls/Valedit.h"),
                    QStringLiteral("Numeric field with decimals and range check"),
                    WidgetXml(QStringLiteral("TValEdit"), QStringLiteral("ValEdit1"), 121, 21))
             << new ControlEntry<TPolarDisp>(
                    QStringLiteral("TPolarDisp"), QStringLiteral("controls/Polardisp.h"),
                    QStringLiteral("Polar diagram of up to five series"),
                    WidgetXml(QStringLiteral("TPolarDisp"), QStringLiteral("PolarDisp1"), 300, 250))
             << new ControlEntry<TDispLabel>(
                    QStringLiteral("TDispLabel"), QStringLiteral("controls/Displabel.h"),
                    QStringLiteral("Plot frame with grid"),
                    WidgetXml(QStringLiteral("TDispLabel"), QStringLiteral("DispLabel1"), 200, 150))
             << new ControlEntry<TChart>(
                    QStringLiteral("TChart"), QStringLiteral("controls/Chart.h"),
                    QStringLiteral("Line chart on the plot frame"),
                    WidgetXml(QStringLiteral("TChart"), QStringLiteral("Chart1"), 400, 300));
}

NebelkammControls::~NebelkammControls() {
    qDeleteAll(widgets_);
}
