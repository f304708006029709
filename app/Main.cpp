#include "app/Main.h"

#include "controls/Valedit.h"
#include "model/Exception.h"
#include "platform/Errors.h"
#include "ui_Main.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QMessageBox>

#include <QApplication>
#include <QFont>
#include <QScreen>

#include <algorithm>
#include <new>

using namespace nebelkamm;

namespace {

// Which field shows which value, in the order the fields are filled and read.
struct InputField {
    TValEdit* Ui::TMainForm::*Field;
    double ChargeAirInputs::*Value;
};
constexpr InputField InputFields[] = {
    {&Ui::TMainForm::ValEdit1, &ChargeAirInputs::RelativeHumidity},
    {&Ui::TMainForm::ValEdit2, &ChargeAirInputs::TempBeforeBlower},
    {&Ui::TMainForm::ValEdit3, &ChargeAirInputs::PressureBeforeBlower},
    {&Ui::TMainForm::ValEdit5, &ChargeAirInputs::ScavingAirPressure},
    {&Ui::TMainForm::ValEdit9, &ChargeAirInputs::TempAfterCooler},
    {&Ui::TMainForm::ValEdit10, &ChargeAirInputs::SpecificAirFlow},
    {&Ui::TMainForm::ValEdit11, &ChargeAirInputs::PowerOnEngine},
};

struct ResultField {
    TValEdit* Ui::TMainForm::*Field;
    double ChargeAirResults::*Value;
};
constexpr ResultField ResultFields[] = {
    {&Ui::TMainForm::ValEdit4, &ChargeAirResults::WaterContentBeforeBlower},
    {&Ui::TMainForm::ValEdit6, &ChargeAirResults::PressureRatio},
    {&Ui::TMainForm::ValEdit8, &ChargeAirResults::DewPointTemperature},
    {&Ui::TMainForm::ValEdit12, &ChargeAirResults::MaxWaterContentInCooler},
    {&Ui::TMainForm::ValEdit13, &ChargeAirResults::CondensingWaterContent},
    {&Ui::TMainForm::ValEdit14, &ChargeAirResults::WaterAtSeparator},
};

// Where the layout places the window; uic keeps only its size.
constexpr QPoint LayoutPosition(361, 175);

// The program's error box: captioned with the program's name, error icon, OK.
void ErrorBox(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Critical, QCoreApplication::applicationName(), text,
                    QMessageBox::Ok, parent);
    box.exec();
}

} // namespace

void UseWindowFont() {
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPointSize(8);
    QApplication::setFont(font);
}

void ShowException(QWidget* parent, const QString& message) {
    ErrorBox(parent, QString::fromStdString(ExceptionDisplayText(message.toStdString())));
}

TMainForm::TMainForm(const std::vector<std::string>& args, QWidget* parent,
                     std::string settingsFile)
    : QWidget(parent), ui_(std::make_unique<Ui::TMainForm>()), settings_(std::move(settingsFile)) {
    ui_->setupUi(this);
    setFixedSize(size());
    QPoint at = LayoutPosition;
    if (const QScreen* s = screen()) {
        const QRect area = s->availableGeometry();
        at.setX(std::max(area.left(), std::min(at.x(), area.right() + 1 - width())));
        at.setY(std::max(area.top(), std::min(at.y(), area.bottom() + 1 - height())));
    }
    move(at);

    settings_.Start(args);

    for (const InputField& f : InputFields)
        ((*ui_).*f.Field)->SetValue(settings_.Inputs.*f.Value);
    for (const ResultField& f : ResultFields)
        ((*ui_).*f.Field)->SetValue(0);
}

TMainForm::~TMainForm() = default;

TValEdit* TMainForm::Field(const char* name) const {
    return findChild<TValEdit*>(QString::fromLatin1(name));
}

void TMainForm::ReadInputs() {
    for (const InputField& f : InputFields)
        settings_.Inputs.*f.Value = ((*ui_).*f.Field)->Value();
}

void TMainForm::Button1Click() {
    ReadInputs();
    try {
        results_ = ComputeChargeAir(settings_.Inputs, [this](const MathError& e) {
            ErrorBox(this, QString::fromStdString(e.Message()));
        });
    } catch (const Exception& e) {
        ShowException(this, QString::fromStdString(e.Message()));
        return;
    }
    for (const ResultField& f : ResultFields)
        ((*ui_).*f.Field)->SetValue(results_.*f.Value);
}

void TMainForm::btnExitClick() {
    close();
}

bool TMainForm::FormClose() {
    try {
        settings_.WriteSettings();
        return true;
    } catch (const Exception& e) {
        ShowException(this, QString::fromStdString(e.Message()));
    } catch (const std::bad_alloc&) {
        ShowException(this, QStringLiteral("Out of memory"));
    }
    return false;
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (FormClose()) {
        event->accept();
        return;
    }
    // The inputs were not saved: the user decides, and can always leave.
    QMessageBox ask(QMessageBox::Question, QCoreApplication::applicationName(),
                    QStringLiteral("Close without saving the inputs?"),
                    QMessageBox::Yes | QMessageBox::No, this);
    ask.setDefaultButton(QMessageBox::No);
    if (ask.exec() == QMessageBox::Yes)
        event->accept();
    else
        event->ignore();
}
