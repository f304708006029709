// SPDX-License-Identifier: MIT
#include "app/Main.h"

#include "app/ChartWindow.h"
#include "controls/ReturnPresses.h"
#include "controls/Valedit.h"
#include "model/Exception.h"
#include "platform/Errors.h"
#include "platform/NumberText.h"
#include "ui_Main.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMenu>
#include <QMessageBox>

#include <QApplication>
#include <QFont>
#include <QScreen>

#include <algorithm>
#include <cstdio>
#include <new>

using namespace nebelkamm;

namespace {

// Where the layout places the window; uic keeps only its size.
constexpr QPoint LayoutPosition(361, 175);

// The field of each of the window's rows, top to bottom.
constexpr const char* RowFields[] = {"ValEdit1",  "ValEdit2",  "ValEdit3", "ValEdit4",  "ValEdit5",
                                     "ValEdit6",  "ValEdit8",  "ValEdit9", "ValEdit10", "ValEdit11",
                                     "ValEdit12", "ValEdit13", "ValEdit14"};

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

    for (size_t i = 0; i < fields_.size(); ++i)
        fields_[i] = Field(RowFields[i]);
    PressOnReturn(ui_->Button1);
    PressOnReturn(ui_->btnExit);

    const WindowArguments given = SplitWindowArguments(args);
    for (const std::string& line : settings_.Start(given.Numbers, given.Named))
        std::fprintf(stderr, "nebelkamm: warning: %s\n", line.c_str());

    for (const Column& c : InputColumns)
        FieldOf(c)->SetValue(settings_.Inputs.*c.Input);
    for (const Column& c : ClassicColumns)
        if (TValEdit* field = FieldOf(c))
            field->SetValue(0);
}

TMainForm::~TMainForm() = default;

TValEdit* TMainForm::FieldOf(const Column& column) const {
    return column.WindowRow ? fields_[static_cast<size_t>(column.WindowRow - 1)] : nullptr;
}

TValEdit* TMainForm::Field(const char* name) const {
    return findChild<TValEdit*>(QString::fromLatin1(name));
}

void TMainForm::ReadInputs() {
    for (const Column& c : InputColumns)
        settings_.Inputs.*c.Input = FieldOf(c)->Value();
}

void TMainForm::Button1Click() {
    ReadInputs();
    // The reference beside the classic result, never instead of it: kept
    // even when the classic model fails.
    const Evaluation& e = last_.emplace(Evaluate(settings_.Inputs, {AirBasis::Humid}));
    if (chart_)
        chart_->Follow(e);
    for (const char* report : e.Reports)
        if (report)
            ErrorBox(this, QString::fromUtf8(report));
    if (e.Failure) {
        ShowException(this, QString::fromUtf8(e.Failure));
        return;
    }
    for (const Column& c : ClassicColumns)
        if (TValEdit* field = FieldOf(c))
            field->SetValue(c.Value(e));
}

QString TMainForm::ResultsText() const {
    if (!last_)
        return {};
    const Evaluation& e = *last_;
    QString text;
    const auto line = [&text, &e](const Column& c) {
        text += QString::fromUtf8(c.Caption) + QLatin1Char('\t') +
                QString::fromStdString(
                    FormatFloat(DisplayPattern(c.Decimals), c.Value(e), SystemDecimalSeparator())) +
                QLatin1Char('\t') + QString::fromUtf8(c.Unit) + QLatin1Char('\n');
    };
    for (const Column* c : ClassicRows())
        if (c->Group == ColumnGroup::Input || !e.Failure)
            line(*c);
    if (e.Failure)
        text += QStringLiteral("No result: ") +
                QString::fromStdString(ExceptionDisplayText(e.Failure)) + QLatin1Char('\n');
    if (e.Impossible)
        text += QStringLiteral("Warning: ") + QString::fromUtf8(e.Impossible) +
                QStringLiteral("; ") + QString::fromUtf8(NoPhysicalMeaning) + QLatin1Char('\n');
    text += QString::fromStdString(ReferenceHeading(*e.Basis)) + QLatin1Char('\n');
    if (e.Reference.Failure)
        return text + QStringLiteral("No result: ") + QString::fromUtf8(e.Reference.Failure) +
               QLatin1Char('\n');
    for (const Column& c : ReferenceColumns)
        line(c);
    return text;
}

void TMainForm::CopyResults() {
    QGuiApplication::clipboard()->setText(ResultsText());
}

TChartWindow* TMainForm::ShowChart() {
    if (!chart_) {
        chart_ = new TChartWindow(this);
        chart_->setAttribute(Qt::WA_DeleteOnClose);
        chart_->Follow(last_ ? *last_ : Evaluate(settings_.Inputs, {AirBasis::Humid}));
    }
    chart_->show();
    chart_->raise();
    chart_->activateWindow();
    return chart_;
}

void TMainForm::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    // Nothing to copy before the first "Calculate".
    menu.addAction(QStringLiteral("Copy results"), this, &TMainForm::CopyResults)
        ->setEnabled(last_.has_value());
    menu.addAction(QStringLiteral("Condensate chart…"), this, [this] { ShowChart(); });
    menu.exec(event->globalPos());
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
