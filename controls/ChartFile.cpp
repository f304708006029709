// SPDX-License-Identifier: MIT
#include "controls/ChartFile.h"

#include "controls/Chart.h"
#include "model/Exception.h"
#include "platform/Files.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>

namespace {

[[noreturn]] void CannotDraw(const char* what) {
    throw nebelkamm::EOutputError(std::string("cannot draw the ") + what);
}

} // namespace

QByteArray RenderChart(const TChart& chart, const nebelkamm::ChartFormat& format, QSize size) {
    const int W = size.width(), H = size.height();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (format.Name == "png") {
        QImage image(W, H, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            chart.Render(painter, W, H);
        }
        if (!image.save(&buffer, "PNG"))
            throw nebelkamm::EOutputError("cannot encode the PNG image");
        return bytes;
    }
    QPainter painter;
    if (format.Name == "svg") {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setTitle(chart.GetYLabel());
        if (!painter.begin(&svg))
            CannotDraw("SVG drawing");
        chart.Render(painter, W, H);
        if (!painter.end())
            CannotDraw("SVG drawing");
        return bytes;
    }
    // One page the size of the chart, at the screen's 96 pixels an inch.
    QPdfWriter pdf(&buffer);
    pdf.setResolution(96);
    pdf.setPageSize(QPageSize(QSizeF(size) * 72.0 / 96, QPageSize::Point));
    pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
    pdf.setTitle(chart.GetYLabel());
    if (!painter.begin(&pdf))
        CannotDraw("PDF document");
    chart.Render(painter, W, H);
    if (!painter.end())
        CannotDraw("PDF document");
    return bytes;
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
