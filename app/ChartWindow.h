// SPDX-License-Identifier: MIT
#pragma once

#include "model/Chargeair.h"

#include <QWidget>

class QComboBox;
class TChart;

// "Condensate chart": the water at the separator over one input (the
// temperature after the cooler, the ambient humidity or the scavenge air
// pressure), the others as at the last "Calculate", with the present point
// and the knee marked. Saves the chart as PNG, SVG or PDF.
class TChartWindow : public QWidget {
    Q_OBJECT

public:
    explicit TChartWindow(QWidget* parent = nullptr);

    // Charts these inputs: called with the inputs of every "Calculate".
    void Follow(const nebelkamm::ChargeAirInputs& inputs);
    // Chooses the input on the horizontal axis by its settings key.
    void ChartOver(const char* key);
    // Writes the chart as it is shown to path (.png, .svg or .pdf); false,
    // with a message box, when it cannot.
    bool SaveAs(const QString& path);
    const TChart& Chart() const { return *chart_; }

private:
    void Redraw();
    void Save();

    nebelkamm::ChargeAirInputs inputs_;
    QComboBox* axis_;
    TChart* chart_;
};
