// SPDX-License-Identifier: MIT
#include "app/ChartWindow.h"

#include "app/CondensateChart.h"
#include "controls/Chart.h"
#include "controls/ChartFile.h"
#include "core/Sweep.h"

#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

using namespace nebelkamm;

namespace {

// What each axis spans: where charge-air coolers work, widened to hold the
// present point.
struct AxisRange {
    const char* Key;
    double From, To, Step;
};
constexpr AxisRange Axes[] = {
    {"TempAfterCooler", 20, 70, 0.5},
    {"RelativeHumidity", 5, 100, 1},
    {"ScavingAirPressure", 0, 5, 0.05},
};

} // namespace

TChartWindow::TChartWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle(QStringLiteral("Condensate chart"));
    resize(640, 420);
    axis_ = new QComboBox;
    for (const AxisRange& a : Axes) {
        const Column* row = InputByKey(a.Key);
        axis_->addItem(QString::fromUtf8(row->Caption) + QLatin1Char(' ') +
                           QString::fromUtf8(row->Unit),
                       QString::fromLatin1(a.Key));
    }
    auto* save = new QPushButton(QStringLiteral("Save…"));
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Over:")));
    top->addWidget(axis_, 1);
    top->addWidget(save);
    // The chart fills a plain frame of its own.
    auto* frame = new QWidget;
    chart_ = new TChart(frame);
    chart_->SetYLabel(QStringLiteral("Water at separator [kg/h]"));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(frame, 1);
    connect(axis_, &QComboBox::currentIndexChanged, this, &TChartWindow::Redraw);
    connect(save, &QPushButton::clicked, this, &TChartWindow::Save);
}

void TChartWindow::Follow(const ChargeAirInputs& inputs) {
    inputs_ = inputs;
    Redraw();
}

void TChartWindow::ChartOver(const char* key) {
    const int i = axis_->findData(QString::fromLatin1(key));
    if (i >= 0)
        axis_->setCurrentIndex(i);
}

void TChartWindow::Redraw() {
    const AxisRange& a = Axes[std::max(0, axis_->currentIndex())];
    const Column& row = *InputByKey(a.Key);
    const double present = inputs_.*row.Input;
    double to = a.To;
    if (std::isfinite(present) && present > to)
        to = std::min(present * 1.2, a.From + a.Step * 10000);
    const EvaluationOptions options{AirBasis::Humid};
    const Sweep sweep =
        ComputeSweep(inputs_, row, SweepPoints(a.From, to, a.Step), options);
    ShowCondensate(*chart_, sweep, Evaluate(inputs_, options));
}

bool TChartWindow::SaveAs(const QString& path) {
    QString why;
    if (SaveChart(*chart_, path, chart_->size(), &why))
        return true;
    QMessageBox::critical(this, windowTitle(), why);
    return false;
}

void TChartWindow::Save() {
    const QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("Save chart"), QStringLiteral("condensate.png"),
        QStringLiteral("PNG image (*.png);;SVG drawing (*.svg);;PDF document (*.pdf)"));
    if (!path.isEmpty())
        SaveAs(path);
}
