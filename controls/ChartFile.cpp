// SPDX-License-Identifier: MIT
#include "controls/ChartFile.h"

#include "controls/Chart.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QSvgGenerator>

bool RenderChart(const TChart& chart, const QString& format, QSize size, QByteArray& bytes,
                 QString* why) {
    const auto fail = [&](const QString& reason) {
        if (why)
            *why = reason;
        return false;
    };
    const QString kind = format.toLower();
    const int W = size.width(), H = size.height();
    bytes.clear();
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (kind == QLatin1String("png")) {
        QImage image(W, H, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            chart.Render(painter, W, H);
        }
        return image.save(&buffer, "PNG") || fail(QStringLiteral("cannot encode the PNG image"));
    }
    QPainter painter;
    if (kind == QLatin1String("svg")) {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setTitle(chart.GetYLabel());
        if (!painter.begin(&svg))
            return fail(QStringLiteral("cannot draw the SVG drawing"));
        chart.Render(painter, W, H);
        return painter.end() || fail(QStringLiteral("cannot draw the SVG drawing"));
    }
    if (kind == QLatin1String("pdf")) {
        // One page the size of the chart, at the screen's 96 pixels an inch.
        QPdfWriter pdf(&buffer);
        pdf.setResolution(96);
        pdf.setPageSize(QPageSize(QSizeF(size) * 72.0 / 96, QPageSize::Point));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        pdf.setTitle(chart.GetYLabel());
        if (!painter.begin(&pdf))
            return fail(QStringLiteral("cannot draw the PDF document"));
        chart.Render(painter, W, H);
        return painter.end() || fail(QStringLiteral("cannot draw the PDF document"));
    }
    return fail(QStringLiteral("a chart is saved as .png, .svg or .pdf"));
}

bool SaveChart(const TChart& chart, const QString& path, QSize size, QString* why) {
    QByteArray bytes;
    QString reason;
    if (!RenderChart(chart, QFileInfo(path).suffix(), size, bytes, &reason)) {
        if (why)
            *why = QStringLiteral("%1: %2").arg(path, reason);
        return false;
    }
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    if (why)
        *why = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
    return false;
}
