// SPDX-License-Identifier: MIT
#include "app/ChartWindow.h"

#include "chart/CondensateChart.h"

#include "controls/Chart.h"
#include "controls/ChartFile.h"
#include "controls/ReturnPresses.h"
#include "platform/Errors.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

using namespace nebelkamm;

namespace {

// The inputs a chart may be drawn over.
constexpr const char* Axes[] = {"TempAfterCooler", "RelativeHumidity", "ScavingAirPressure"};

// "PNG image (*.png);;SVG drawing (*.svg);;..."
QString Filters() {
    QStringList filters;
    for (const ChartFormat& f : ChartFormats)
        filters << QString::fromUtf8(f.Filter.data(), qsizetype(f.Filter.size()));
    return filters.join(QStringLiteral(";;"));
}

// "png" of "PNG image (*.png)".
QString SuffixOf(const QString& filter) {
    const qsizetype dot = filter.lastIndexOf(QLatin1String("*."));
    return dot < 0 ? QString() : filter.mid(dot + 2).chopped(1);
}

// The save dialog: a name without an extension takes the chosen type's; a
// name with one the chart cannot be saved as keeps the dialog open with a
// message.
class ChartFileDialog : public QFileDialog {
public:
    explicit ChartFileDialog(QWidget* parent) : QFileDialog(parent, QStringLiteral("Save chart")) {
        setAcceptMode(AcceptSave);
        setOption(DontUseNativeDialog);
        setNameFilter(Filters());
        setDefaultSuffix(QStringLiteral("png"));
        selectFile(QStringLiteral("condensate.png"));
        connect(this, &QFileDialog::filterSelected, this,
                [this](const QString& filter) { setDefaultSuffix(SuffixOf(filter)); });
    }

protected:
    void accept() override {
        const QStringList files = selectedFiles();
        if (!files.isEmpty() && !ChartFormatOf(files.front().toStdString())) {
            QMessageBox::warning(this, windowTitle(),
                                 QString::fromStdString(NotAChartFormat(
                                     QFileInfo(files.front()).fileName().toStdString())));
            return;
        }
        QFileDialog::accept();
    }
};

} // namespace

TChartWindow::TChartWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle(QStringLiteral("Condensate chart"));
    resize(720, 480);
    axis_ = new QComboBox;
    for (const char* key : Axes) {
        const Column* row = InputByKey(key);
        axis_->addItem(QString::fromUtf8(row->Caption) + QLatin1Char(' ') +
                           QString::fromUtf8(row->Unit),
                       QString::fromLatin1(key));
    }
    from_ = new QDoubleSpinBox;
    to_ = new QDoubleSpinBox;
    for (QDoubleSpinBox* box : {from_, to_})
        box->setKeyboardTracking(false);
    automaticButton_ = new QPushButton(QStringLiteral("Automatic"));
    auto* save = new QPushButton(QStringLiteral("Save…"));
    for (QPushButton* button : {automaticButton_, save})
        PressOnReturn(button);
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Over:")));
    top->addWidget(axis_, 1);
    top->addWidget(new QLabel(QStringLiteral("from")));
    top->addWidget(from_);
    top->addWidget(new QLabel(QStringLiteral("to")));
    top->addWidget(to_);
    top->addWidget(automaticButton_);
    top->addWidget(save);
    // The chart fills a plain frame of its own.
    auto* frame = new QWidget;
    chart_ = new TChart(frame);
    QFont font = chart_->font();
    font.setPixelSize(12); // a size larger than the form's, for a chart that is read from afar
    chart_->setFont(font);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(frame, 1);
    connect(axis_, &QComboBox::currentIndexChanged, this, &TChartWindow::ShowAutomaticRange);
    connect(from_, &QDoubleSpinBox::editingFinished, this, &TChartWindow::RangeTyped);
    connect(to_, &QDoubleSpinBox::editingFinished, this, &TChartWindow::RangeTyped);
    connect(automaticButton_, &QPushButton::clicked, this, &TChartWindow::ShowAutomaticRange);
    connect(save, &QPushButton::clicked, this, &TChartWindow::Save);
}

void TChartWindow::Follow(const Evaluation& point) {
    point_ = point;
    Redraw();
}

void TChartWindow::ChartOver(const char* key) {
    const int i = axis_->findData(QString::fromLatin1(key));
    if (i >= 0)
        axis_->setCurrentIndex(i);
}

void TChartWindow::ShowRange(double from, double to) {
    if (!(to > from)) { // the range stays as it was, and the boxes say so
        Redraw();
        return;
    }
    range_ = RangeBetween(from, to);
    range_.Decimals = std::max(range_.Decimals, from_->decimals());
    automatic_ = false;
    Redraw();
}

void TChartWindow::ShowAutomaticRange() {
    automatic_ = true;
    Redraw();
}

void TChartWindow::RangeTyped() {
    if (from_->value() != range_.From || to_->value() != range_.To)
        ShowRange(from_->value(), to_->value());
}

void TChartWindow::Redraw() {
    const Column& row = *InputByKey(Axes[std::max(0, axis_->currentIndex())]);
    const EvaluationOptions options{AirBasis::Humid};
    if (automatic_)
        range_ = AutomaticRange(point_.Inputs, row, options);
    for (QDoubleSpinBox* box : {from_, to_}) {
        const QSignalBlocker quiet(box);
        box->setDecimals(std::max(row.Decimals, range_.Decimals));
        box->setRange(row.Lowest, row.Highest);
        box->setValue(box == from_ ? range_.From : range_.To);
    }
    automaticButton_->setEnabled(!automatic_);
    if (point_.Failure) {
        chart_->SetContent(
            FailureChart(row, range_, point_.Inputs,
                         QString::fromStdString(ExceptionDisplayText(point_.Failure))));
        return;
    }
    const Sweep sweep =
        ComputeSweep(point_.Inputs, row,
                     SweepPoints(range_.From, range_.To, range_.Step, range_.Decimals), options);
    chart_->SetContent(CondensateChart(sweep, point_));
}

bool TChartWindow::SaveAs(const QString& path) {
    try {
        SaveChart(*chart_, path, chart_->size());
        return true;
    } catch (const Exception& e) {
        QMessageBox::critical(this, windowTitle(), QString::fromStdString(e.Message()));
        return false;
    }
}

void TChartWindow::Save() {
    ChartFileDialog dialog(this);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        SaveAs(dialog.selectedFiles().front());
}
