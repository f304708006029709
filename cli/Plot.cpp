// SPDX-License-Identifier: MIT
#include "cli/Plot.h"

#include "cli/Cli.h"
#include "cli/PlotModule.h"

#include <ostream>
#include <string>

#include <dlfcn.h>
#include <unistd.h>

namespace nebelkamm {
namespace {

// Beside the program in the build tree (bin/../lib), else where it is
// installed.
void* LoadModule(std::string& why) {
    char exe[4096];
    const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n > 0) {
        std::string dir(exe, static_cast<std::size_t>(n));
        dir.erase(dir.rfind('/'));
        if (void* lib =
                ::dlopen((dir + "/../lib/" NEBELKAMM_PLOT_MODULE).c_str(), RTLD_NOW | RTLD_LOCAL))
            return lib;
    }
    if (void* lib = ::dlopen(NEBELKAMM_PLOT_INSTALLED, RTLD_NOW | RTLD_LOCAL))
        return lib;
    why = ::dlerror();
    return nullptr;
}

} // namespace

int PlotSweep(const std::string& file, const ChargeAirInputs& base, const std::string& key,
              double from, double to, double step, std::optional<AirBasis> reference,
              std::ostream& err) {
    std::string why;
    void* lib = LoadModule(why);
    const auto plot =
        lib ? reinterpret_cast<PlotSweepFunction>(::dlsym(lib, PlotSweepSymbol)) : nullptr;
    if (!plot) {
        err << "nebelkamm-cli: cannot plot: " << (lib ? ::dlerror() : why) << '\n';
        return CliUsage;
    }
    char message[512] = {};
    // The module stays loaded: the toolkit may still need it at exit.
    if (!plot(file.c_str(), &base, key.c_str(), from, to, step,
              reference ? static_cast<int>(*reference) : -1, message, sizeof message)) {
        err << "nebelkamm-cli: " << message << '\n';
        return CliUsage;
    }
    return CliOk;
}

} // namespace nebelkamm
