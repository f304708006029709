// SPDX-License-Identifier: MIT
#include "controls/ChartFile.h"

#include "controls/Chart.h"

#include <QFileInfo>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>

bool SaveChart(const TChart& chart, const QString& path, QSize size, QString* why) {
    const auto fail = [&](const QString& reason) {
        if (why)
            *why = reason;
        return false;
    };
    const QString format = QFileInfo(path).suffix().toLower();
    const int W = size.width(), H = size.height();
    if (format == QLatin1String("png")) {
        QImage image(W, H, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            chart.Render(painter, W, H);
        }
        return image.save(path, "PNG") || fail(QStringLiteral("cannot write %1").arg(path));
    }
    QPainter painter;
    if (format == QLatin1String("svg")) {
        QSvgGenerator svg;
        svg.setFileName(path);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setTitle(chart.GetYLabel());
        if (!painter.begin(&svg))
            return fail(QStringLiteral("cannot write %1").arg(path));
        chart.Render(painter, W, H);
        return painter.end() || fail(QStringLiteral("cannot write %1").arg(path));
    }
    if (format == QLatin1String("pdf")) {
        // One page the size of the chart, at the screen's 96 pixels an inch.
        QPdfWriter pdf(path);
        pdf.setResolution(96);
        pdf.setPageSize(QPageSize(QSizeF(size) * 72.0 / 96, QPageSize::Point));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        pdf.setTitle(chart.GetYLabel());
        if (!painter.begin(&pdf))
            return fail(QStringLiteral("cannot write %1").arg(path));
        chart.Render(painter, W, H);
        return painter.end() || fail(QStringLiteral("cannot write %1").arg(path));
    }
    return fail(QStringLiteral("%1: a chart is saved as .png, .svg or .pdf").arg(path));
}
