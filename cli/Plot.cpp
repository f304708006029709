// SPDX-License-Identifier: MIT
#include "cli/Plot.h"

#include "cli/PlotInterface.h"
#include "core/Errors.h"
#include "io/Stream.h"
#include "platform/ChartFormats.h"

#include <QPluginLoader>
#include <QString>

#include <algorithm>

#include <unistd.h>

namespace nebelkamm {
namespace {

// Beside the program in the build tree (bin/../lib/nebelkamm), else where
// it is installed.
PlotInterface* LoadPlugin() {
    static QPluginLoader loader; // stays loaded: the toolkit may need it at exit
    std::string candidates[2];
    char exe[4096];
    const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n > 0) {
        std::string dir(exe, static_cast<std::size_t>(n));
        candidates[0] = dir.substr(0, dir.rfind('/')) + "/../lib/nebelkamm/" NEBELKAMM_PLOT_PLUGIN;
    }
    candidates[1] = NEBELKAMM_PLOT_INSTALLED;
    QString why;
    for (const std::string& path : candidates) {
        if (path.empty() || ::access(path.c_str(), F_OK) != 0)
            continue;
        loader.setFileName(QString::fromLocal8Bit(path.c_str()));
        if (auto* plot = qobject_cast<PlotInterface*>(loader.instance()))
            return plot;
        why = loader.errorString();
    }
    throw EPlotUnavailable(
        "cannot plot: the plotting module " NEBELKAMM_PLOT_INSTALLED " " +
        (why.isEmpty() ? std::string("is not installed") : "does not load: " + why.toStdString()));
}

} // namespace

std::string CheckPlotName(const std::string& path) {
    return std::string(ChartFormatFor(path).Name);
}

void PlotSweep(const std::string& path, const Sweep& sweep, const Evaluation& present) {
    const std::string format = CheckPlotName(path);
    WriteFileReplacing(path, LoadPlugin()->Render(sweep, present, format));
}

} // namespace nebelkamm
