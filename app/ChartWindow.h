// SPDX-License-Identifier: MIT
#pragma once

#include "core/Evaluation.h"
#include "core/Sweep.h"

#include <QWidget>

class QComboBox;
class QDoubleSpinBox;
class QPushButton;
class TChart;

// "Condensate chart": the water at the separator over one input (the
// temperature after the cooler, the ambient humidity or the scavenge air
// pressure), the others as at the last "Calculate", with the present point
// and the knees marked, over a range chosen from the point or typed in.
// Saves the chart as PNG, SVG or PDF.
class TChartWindow : public QWidget {
    Q_OBJECT

public:
    explicit TChartWindow(QWidget* parent = nullptr);

    // Charts the point of a "Calculate": its curves, or why there are none.
    void Follow(const nebelkamm::Evaluation& point);
    // Chooses the input on the horizontal axis by its settings key.
    void ChartOver(const char* key);
    // Shows the range from..to (to above from) instead of the automatic one.
    void ShowRange(double from, double to);
    // Back to the range chosen from the point.
    void ShowAutomaticRange();
    const nebelkamm::SweepRange& Range() const { return range_; }
    // Writes the chart as it is shown to path (.png, .svg or .pdf); false,
    // with a message box, when it cannot.
    bool SaveAs(const QString& path);
    const TChart& Chart() const { return *chart_; }

private:
    void Redraw();
    void RangeTyped();
    void Save();

    nebelkamm::Evaluation point_;
    bool automatic_ = true;
    nebelkamm::SweepRange range_;
    QComboBox* axis_;
    QDoubleSpinBox *from_, *to_;
    QPushButton* automaticButton_;
    TChart* chart_;
};
