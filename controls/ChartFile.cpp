// SPDX-License-Identifier: MIT
#include "controls/ChartFile.h"

#include "controls/Chart.h"
#include "model/Exception.h"
#include "platform/Files.h"

#include <QFile>

QByteArray RenderChart(const TChart& chart, const nebelkamm::ChartFormat& format, QSize size) {
    return nebelkamm::ChartFileBytes(chart.Content(), chart.Frame(), chart.font(), format, size);
}

void SaveChart(const TChart& chart, const QString& path, QSize size) {
    const std::string name = path.toStdString();
    const nebelkamm::ChartFormat* format = nebelkamm::ChartFormatOf(name);
    if (!format)
        throw nebelkamm::EUsageError(nebelkamm::NotAChartFormat(name));
    const QByteArray bytes = RenderChart(chart, *format, size);
    nebelkamm::WriteFileReplacing(QFile::encodeName(path).toStdString(),
                                  std::string_view(bytes.constData(), std::size_t(bytes.size())));
}
