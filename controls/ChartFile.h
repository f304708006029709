// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>

class TChart;

// The chart at the given size as the bytes of a "png", "svg" or "pdf" file
// (case ignored). Returns false, with the reason in why, for another format.
bool RenderChart(const TChart& chart, const QString& format, QSize size, QByteArray& bytes,
                 QString* why = nullptr);

// Writes the chart at the given size to path as PNG, SVG or PDF, by the
// path's extension (case ignored), through a new file that replaces any old
// one only when it is complete. Returns false, with the reason in why, for
// another extension or a file that cannot be written.
bool SaveChart(const TChart& chart, const QString& path, QSize size, QString* why = nullptr);
