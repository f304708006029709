// SPDX-License-Identifier: MIT
#pragma once

#include <QSize>
#include <QString>

class TChart;

// Writes the chart at the given size to path as PNG, SVG or PDF, by the
// path's extension (case ignored). Returns false, with the reason in why,
// for another extension or a file that cannot be written.
bool SaveChart(const TChart& chart, const QString& path, QSize size, QString* why = nullptr);
