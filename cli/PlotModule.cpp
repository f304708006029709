// SPDX-License-Identifier: MIT
// The plotting module of nebelkamm-cli: the only part of the command line
// that needs the GUI toolkit, loaded only for --plot.
#include "cli/PlotModule.h"

#include "controls/Chart.h"
#include "settings/Batch.h"
#include "settings/Curve.h"

#include <QApplication>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>

#include <cstdio>

namespace {

constexpr int Width = 800, Height = 500;

int Fail(char* message, std::size_t size, const QString& why) {
    std::snprintf(message, size, "%s", why.toUtf8().constData());
    return 0;
}

} // namespace

extern "C" [[gnu::visibility("default")]] int
nebelkamm_plot_sweep(const char* file, const nebelkamm::ChargeAirInputs* base, const char* key,
                     double from, double to, double step, char* message, std::size_t size) {
    using namespace nebelkamm;
    const ChargeAirRow* row = InputRowByKey(key);
    if (!row)
        return Fail(message, size, QStringLiteral("no input is called %1").arg(key));
    const QString path = QString::fromLocal8Bit(file);
    const QString format = QFileInfo(path).suffix().toLower();
    if (format != QLatin1String("png") && format != QLatin1String("svg") &&
        format != QLatin1String("pdf"))
        return Fail(message, size,
                    QStringLiteral("%1: a plot is written as .png, .svg or .pdf").arg(path));

    // A headless application for the chart's widget, for this call only.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "nebelkamm-cli";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);

    CondensateCurve curve;
    try {
        curve = ComputeCurve(*base, *row, from, to, step);
    } catch (const EBatchUsage& e) {
        return Fail(message, size, QString::fromStdString(e.Message()));
    }
    TChart chart;
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(13);
    chart.setFont(font);
    chart.SetXLabel(QString::fromUtf8(row->Caption) + QLatin1Char(' ') +
                    QString::fromUtf8(row->Unit));
    chart.SetYLabel(QStringLiteral("Water at separator [kg/h]"));
    ChartSeries series;
    series.Name = QStringLiteral("Water at separator");
    for (std::size_t i = 0; i < curve.X.size(); ++i)
        series.Points.emplace_back(curve.X[i], curve.Water[i]);
    series.Knee = curve.Knee;
    chart.SetSeries({series});
    const double present = base->*row->Input;
    if (present >= std::min(from, to) && present <= std::max(from, to))
        chart.SetMarker(present, QStringLiteral("present point"));

    bool written = false;
    if (format == QLatin1String("png")) {
        QImage image(Width, Height, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            chart.Render(painter, Width, Height);
        }
        written = image.save(path, "PNG");
    } else if (format == QLatin1String("svg")) {
        QSvgGenerator svg;
        svg.setFileName(path);
        svg.setSize(QSize(Width, Height));
        svg.setViewBox(QRect(0, 0, Width, Height));
        svg.setTitle(QStringLiteral("Water at separator"));
        QPainter painter;
        written = painter.begin(&svg);
        if (written) {
            chart.Render(painter, Width, Height);
            written = painter.end();
        }
    } else {
        QPdfWriter pdf(path);
        pdf.setResolution(96);
        pdf.setPageSize(QPageSize(QSizeF(Width, Height) * 72.0 / 96, QPageSize::Point));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        pdf.setTitle(QStringLiteral("Water at separator"));
        QPainter painter;
        written = painter.begin(&pdf);
        if (written) {
            chart.Render(painter, Width, Height);
            written = painter.end();
        }
    }
    if (!written)
        return Fail(message, size, QStringLiteral("cannot write %1").arg(path));
    return 1;
}
