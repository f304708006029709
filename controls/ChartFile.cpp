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
    const QByteArray bytes =
        RenderChart(chart, nebelkamm::ChartFormatFor(path.toStdString()), size);
    nebelkamm::WriteFileReplacing(QFile::encodeName(path).toStdString(),
                                  std::string_view(bytes.constData(), std::size_t(bytes.size())));
}
