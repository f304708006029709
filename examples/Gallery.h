// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

class TChart;
class TPolarDisp;

// The chart controls with sample data, side by side.
class Gallery : public QWidget {
    Q_OBJECT

public:
    explicit Gallery(QWidget* parent = nullptr);

    // Writes polardisp.png and chart.png into the folder; false with
    // the reason in `error` when a file cannot be written.
    bool Snapshot(const QString& folder, QString& error);

    TPolarDisp* Polar() const { return polar_; }
    TChart* Plot() const { return plot_; }

private:
    QWidget* polarPane_ = nullptr;
    QWidget* plotPane_ = nullptr;
    TPolarDisp* polar_ = nullptr;
    TChart* plot_ = nullptr;
};
