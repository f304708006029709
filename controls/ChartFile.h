// SPDX-License-Identifier: MIT
#pragma once

#include "platform/ChartFormats.h"

#include <QByteArray>
#include <QSize>
#include <QString>

class TChart;

// The chart at the given size as the bytes of a file of the format. Throws
// EOutputError when it cannot be drawn.
QByteArray RenderChart(const TChart& chart, const nebelkamm::ChartFormat& format, QSize size);

// Writes the chart at the given size to path in the format of the path's
// extension (case ignored), through a new file that replaces any old one
// only when it is complete. Throws EUsageError for another extension
// ("<path>: a chart is saved as .png, .svg or .pdf"), ECreateError or
// EOutputError when the file cannot be written.
void SaveChart(const TChart& chart, const QString& path, QSize size);
