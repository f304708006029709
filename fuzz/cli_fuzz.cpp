// SPDX-License-Identifier: MIT
// The command line on any argument vector and any settings file: it ends
// with one of its documented statuses, and a run that reports success has
// saved a file in which the seven inputs read back.
#include "cli/Cli.h"
#include "io/Stream.h"
#include "platform/Inifile.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // One private folder for the whole run, in memory where there is such a
    // file system (a save's fsync costs nothing there): the program works
    // in the current directory.
    char shm[] = "/dev/shm/nebelkamm-cli-fuzz-XXXXXX";
    char tmp[] = "/tmp/nebelkamm-cli-fuzz-XXXXXX";
    const char* dir = mkdtemp(shm);
    if (!dir)
        dir = mkdtemp(tmp);
    if (!dir || chdir(dir) != 0)
        std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The file's bytes, then the arguments, separated by NUL bytes.
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t split = input.find('\0');
    std::vector<std::string> args;
    if (split != std::string::npos) {
        size_t at = split + 1;
        while (at <= input.size() && args.size() < 12) {
            const size_t end = std::min(input.find('\0', at), input.size());
            args.push_back(input.substr(at, end - at));
            at = end + 1;
        }
    }
    // Batches read files and standard input, plots load the toolkit: both
    // are tested on their own, and a named file could be /dev/zero.
    for (const std::string& a : args)
        if (a == "--batch" || a == "--plot")
            return 0;
    ::unlink("Nebelkamm.ini");
    if (!(size > 0 && data[0] == 'N')) // most runs start from a file
        std::ofstream("Nebelkamm.ini", std::ios::binary) << input.substr(0, split);
    nebelkamm::StringSink out; // never the real standard output
    std::ostringstream err;
    const int status = nebelkamm::RunCli(args, '.', out, err);
    static constexpr int documented[] = {0, 1, 2, 3, 64, 65, 66, 69, 71, 73, 74};
    if (std::find(std::begin(documented), std::end(documented), status) == std::end(documented))
        std::abort();
    if (status != 0)
        return 0;
    bool saves = true;
    for (const std::string& a : args)
        saves = saves && a != "--no-save" && a != "--help" && a != "--version" && a != "--sweep";
    if (saves) {
        const nebelkamm::TIniFile ini("./Nebelkamm.ini", '.');
        static constexpr std::string_view keys[] = {
            "RelativeHumidity", "TempBeforeBlower", "PressureBeforeBlower", "ScavingAirPressure",
            "TempAfterCooler",  "SpecificAirFlow",  "PowerOnEngine"};
        const std::vector<double> missing(std::size(keys), std::nan(""));
        for (const double v : ini.ReadFloats("Input", keys, missing))
            if (std::isnan(v))
                std::abort();
    }
    return 0;
}
