// SPDX-License-Identifier: MIT
// A batch of logged points from a file to a file, against a floor that
// parses the same file and writes the same number of fields with
// std::from_chars / std::to_chars and no model, and against the same work
// in pandas and NumPy (bench/pandas_batch.py), all in one run. Prints the
// median of five runs of each, rows per second and the ratios.
// Usage: batch_bench [ROWS] (default 1000000)
#include "io/Batch.h"
#include "io/Stream.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

using namespace nebelkamm;

namespace {

using Clock = std::chrono::steady_clock;

// A day of one-second engine logs, repeated: a timestamp and the seven inputs.
void MakeInput(const std::string& path, long rows) {
    std::ofstream out(path, std::ios::binary);
    out << "time,RelativeHumidity,TempBeforeBlower,PressureBeforeBlower,ScavingAirPressure,"
           "TempAfterCooler,SpecificAirFlow,PowerOnEngine\n";
    std::mt19937 rng(1);
    std::uniform_real_distribution<double> u(0, 1);
    char line[256];
    for (long i = 0; i < rows; ++i) {
        const int n = std::snprintf(line, sizeof line, "%ld,%.1f,%.1f,%.3f,%.2f,%.1f,%.2f,%.0f\n",
                                    1733650000 + i, 30 + 70 * u(rng), 45 * u(rng),
                                    0.95 + 0.1 * u(rng), 0.5 + 4 * u(rng), 25 + 35 * u(rng),
                                    6 + 3 * u(rng), 5000 + 40000 * u(rng));
        out.write(line, n);
    }
}

// The floor: read the file, take every field of every row apart with
// from_chars, and write as many fields as a batch row has with to_chars.
void Floor(const std::string& in, const std::string& out) {
    const int fd = ::open(in.c_str(), O_RDONLY);
    const int of = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::string buffer(1 << 20, '\0'), pending, written;
    bool header = true;
    double values[8];
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n <= 0)
            break;
        pending.append(buffer.data(), static_cast<std::size_t>(n));
        std::size_t start = 0, end;
        while ((end = pending.find('\n', start)) != std::string::npos) {
            std::string_view row(pending.data() + start, end - start);
            start = end + 1;
            if (header) {
                header = false;
                continue;
            }
            int k = 0;
            const char* p = row.data();
            const char* const e = row.data() + row.size();
            while (p < e && k < 8) {
                const char* comma = std::find(p, e, ',');
                std::from_chars(p, comma, values[k++]);
                p = comma + 1;
            }
            char field[32];
            for (int f = 0; f < 16; ++f) { // 1 passed through + 7 + 6 + 1 + message
                const double v = values[f % 8] * 1.000001;
                written.append(field, std::to_chars(field, field + sizeof field, v).ptr);
                written += f == 15 ? '\n' : ',';
            }
        }
        pending.erase(0, start);
        if (written.size() > (1 << 20)) {
            if (::write(of, written.data(), written.size()) < 0)
                std::exit(1);
            written.clear();
        }
    }
    if (::write(of, written.data(), written.size()) < 0)
        std::exit(1);
    ::close(fd);
    ::close(of);
}

void Batch(const std::string& in, const std::string& out, unsigned threads,
           bool reference = false) {
    const int fd = ::open(in.c_str(), O_RDONLY);
    const int of = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    BatchOptions options;
    options.Threads = threads;
    if (reference)
        options.Reference = AirBasis::Humid;
    FdSource source(fd);
    FdSink sink(of);
    RunBatch(source, sink, ChargeAirInputs{50, 20, 1.02, 2.4, 40, 7.8, 40000}, options);
    ::close(fd);
    ::close(of);
}

template <class F> double MedianSeconds(int runs, F run) {
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        run();
        t.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    char dir[] = "/tmp/nebelkamm-batch-XXXXXX";
    if (!mkdtemp(dir))
        return 1;
    const std::string in = std::string(dir) + "/in.csv", out = std::string(dir) + "/out.csv";
    MakeInput(in, rows);

    const double floor = MedianSeconds(5, [&] { Floor(in, out); });
    const double one = MedianSeconds(5, [&] { Batch(in, out, 1); });
    const double two = MedianSeconds(5, [&] { Batch(in, out, 2); });
    const double ref = MedianSeconds(5, [&] { Batch(in, out, 1, true); });
    std::printf("%ld rows, medians of 5 runs, file to file:\n", rows);
    std::printf("  floor (from_chars/to_chars, no model)  %7.3f s  %5.2f M rows/s\n", floor,
                rows / floor / 1e6);
    std::printf(
        "  batch, 1 thread                         %7.3f s  %5.2f M rows/s  %.2fx the floor\n", one,
        rows / one / 1e6, one / floor);
    std::printf("  batch, 2 threads                        %7.3f s  %5.2f M rows/s\n", two,
                rows / two / 1e6);
    std::printf("  batch --reference, 1 thread             %7.3f s  %5.2f M rows/s\n", ref,
                rows / ref / 1e6);

    // The same rows through pandas and NumPy, where Debian's packages are there.
    const std::string script = std::string(NEBELKAMM_SOURCE_DIR) + "/bench/pandas_batch.py";
    // Debian's interpreter, which the python3-pandas package serves.
    if (!std::getenv("NEBELKAMM_NO_PANDAS") &&
        std::system("/usr/bin/python3 -c 'import pandas, numpy' 2>/dev/null") == 0) {
        const std::string command = "/usr/bin/python3 " + script + " " + in + " " + out;
        const double pandas = MedianSeconds(3, [&] {
            if (std::system(command.c_str()) != 0)
                std::exit(1);
        });
        std::printf("  pandas + NumPy (median of 3)            %7.3f s  %5.2f M rows/s  batch on 2 "
                    "threads %.1fx faster\n",
                    pandas, rows / pandas / 1e6, pandas / two);
    } else {
        std::printf("  pandas + NumPy: %s\n", std::getenv("NEBELKAMM_NO_PANDAS")
                                                   ? "skipped (NEBELKAMM_NO_PANDAS)"
                                                   : "not installed (apt-get install python3-pandas)");
    }
    std::remove(in.c_str());
    std::remove(out.c_str());
    ::rmdir(dir);
    return 0;
}
