#include "app/Main.h"

#include "controls/Valedit.h"
#include "model/Exception.h"
#include "platform/Errors.h"
#include "ui_Main.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QMessageBox>

using namespace nebelkamm;

void ShowException(QWidget* parent, const QString& message) {
    QMessageBox box(QMessageBox::Critical, QCoreApplication::applicationName(),
                    QString::fromStdString(ExceptionDisplayText(message.toStdString())),
                    QMessageBox::Ok, parent);
    box.exec();
}

TMainForm::TMainForm(const std::vector<std::string>& args, QWidget* parent,
                     std::string settingsFile)
    : QWidget(parent), ui_(std::make_unique<Ui::TMainForm>()), settings_(std::move(settingsFile)) {
    ui_->setupUi(this);
    setFixedSize(size());

    settings_.Start(args);

    const ChargeAirInputs& in = settings_.Inputs;
    ui_->ValEdit1->SetValue(in.RelativeHumidity);
    ui_->ValEdit2->SetValue(in.TempBeforeBlower);
    ui_->ValEdit3->SetValue(in.PressureBeforeBlower);
    ui_->ValEdit5->SetValue(in.ScavingAirPressure);
    ui_->ValEdit9->SetValue(in.TempAfterCooler);
    ui_->ValEdit10->SetValue(in.SpecificAirFlow);
    ui_->ValEdit11->SetValue(in.PowerOnEngine);
    for (TValEdit* result : {ui_->ValEdit4, ui_->ValEdit6, ui_->ValEdit8, ui_->ValEdit12,
                             ui_->ValEdit13, ui_->ValEdit14})
        result->SetValue(0);
}

TMainForm::~TMainForm() = default;

TValEdit* TMainForm::Field(const char* name) const {
    return findChild<TValEdit*>(QString::fromLatin1(name));
}

void TMainForm::ReadInputs() {
    ChargeAirInputs& in = settings_.Inputs;
    in.RelativeHumidity = ui_->ValEdit1->Value();
    in.TempBeforeBlower = ui_->ValEdit2->Value();
    in.PressureBeforeBlower = ui_->ValEdit3->Value();
    in.ScavingAirPressure = ui_->ValEdit5->Value();
    in.TempAfterCooler = ui_->ValEdit9->Value();
    in.SpecificAirFlow = ui_->ValEdit10->Value();
    in.PowerOnEngine = ui_->ValEdit11->Value();
}

void TMainForm::Button1Click() {
    ReadInputs();
    try {
        results_ = ComputeChargeAir(settings_.Inputs, [this](const MathError& e) {
            QMessageBox box(QMessageBox::Critical, QCoreApplication::applicationName(),
                            QString::fromStdString(e.Message()), QMessageBox::Ok, this);
            box.exec();
        });
    } catch (const Exception& e) {
        ShowException(this, QString::fromStdString(e.Message()));
        return;
    }
    ui_->ValEdit4->SetValue(results_.WaterContentBeforeBlower);
    ui_->ValEdit6->SetValue(results_.PressureRatio);
    ui_->ValEdit8->SetValue(results_.DewPointTemperature);
    ui_->ValEdit12->SetValue(results_.MaxWaterContentInCooler);
    ui_->ValEdit13->SetValue(results_.CondensingWaterContent);
    ui_->ValEdit14->SetValue(results_.WaterAtSeparator);
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
        return false;
    }
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (FormClose())
        event->accept();
    else
        event->ignore(); // the inputs are not saved: keep the window open
}
