// SPDX-License-Identifier: MIT
// A batch of logged points from a file to a file, against a floor that
// parses the same file and writes the same number of fields with
// std::from_chars / std::to_chars and no model, and against the same work
// in pandas and NumPy (bench/pandas_batch.py), all in one run. Prints the
// median of five runs of each, rows per second and the ratios. Then the
// command line at the CPU's vector level against NEBELKAMM_SIMD=scalar.
// With NEBELKAMM_AGAINST=<another nebelkamm-cli> (bench/against.sh builds
// one from an earlier commit) it also runs both command lines on the file,
// in turns, on all cores and on one.
// Usage: batch_bench [ROWS] (default 1000000)
//        batch_bench --rss: peak memory of the command line for a 1 GiB line
//        and for 10 M rows
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
#include <sched.h>
#include <sys/resource.h>
#include <sys/wait.h>
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

struct Ran {
    double Seconds = 0;
    long MaxRssKiB = 0;
    int Status = -1;
};

// Runs a command line with its standard input from inFd (or /dev/null) and
// its standard output to outPath, on one core when asked.
Ran RunProcess(const std::vector<std::string>& args, int inFd, const std::string& outPath,
               bool oneCore) {
    const auto start = Clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (oneCore) {
            cpu_set_t one;
            CPU_ZERO(&one);
            CPU_SET(0, &one);
            ::sched_setaffinity(0, sizeof one, &one);
        }
        const int in = inFd >= 0 ? inFd : ::open("/dev/null", O_RDONLY);
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open("/dev/null", O_WRONLY);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    Ran r;
    int status = 0;
    struct rusage usage {};
    ::wait4(pid, &status, 0, &usage);
    r.Seconds = std::chrono::duration<double>(Clock::now() - start).count();
    r.MaxRssKiB = usage.ru_maxrss;
    r.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Runs a and b nine times each, in turns (ABBA, so that neither always runs
// second): the median seconds of each.
template <class A, class B> std::pair<double, double> InTurns(A a, B b) {
    std::vector<double> first, second;
    for (int i = 0; i < 9; ++i) {
        if (i % 2) {
            first.push_back(a());
            second.push_back(b());
        } else {
            second.push_back(b());
            first.push_back(a());
        }
    }
    return {Median(first), Median(second)};
}

// The command line at the vector level the CPU has against itself at
// NEBELKAMM_SIMD=scalar, classic and with --reference, in turns, nine rounds
// each, on all cores.
void AgainstScalar(const std::string& in, const std::string& out, long rows) {
    std::printf("  nebelkamm-cli --batch against itself at NEBELKAMM_SIMD=scalar, medians of 9:\n");
    for (const bool reference : {false, true}) {
        std::vector<double> vector, scalar;
        for (int i = 0; i < 9; ++i) {
            const auto run = [&](const char* level) {
                std::vector<std::string> args{"/usr/bin/env",
                                              std::string("NEBELKAMM_SIMD=") + level, NEBELKAMM_CLI,
                                              "--batch", in};
                if (reference)
                    args.emplace_back("--reference");
                return RunProcess(args, -1, out, false).Seconds;
            };
            const char* best = std::getenv("NEBELKAMM_SIMD") ? std::getenv("NEBELKAMM_SIMD") : "";
            if (i % 2) {
                vector.push_back(run(best));
                scalar.push_back(run("scalar"));
            } else {
                scalar.push_back(run("scalar"));
                vector.push_back(run(best));
            }
        }
        const double a = Median(vector), b = Median(scalar);
        std::printf("    %-12s vector %6.3f s %5.2f M rows/s, scalar %6.3f s %5.2f M rows/s: "
                    "%.3fx its time\n",
                    reference ? "--reference" : "classic", a, rows / a / 1e6, b, rows / b / 1e6,
                    a / b);
    }
}

// The command line of this build against another one on the same file, in
// turns, nine rounds each.
void Against(const std::string& other, const std::string& in, const std::string& out, long rows) {
    std::printf("  this build's command line against %s, --batch to a file, medians of 9:\n",
                other.c_str());
    for (const bool oneCore : {false, true}) {
        const auto run = [&](const std::string& cli) {
            return RunProcess({cli, "--batch", in}, -1, out, oneCore).Seconds;
        };
        const auto [a, b] = InTurns([&] { return run(NEBELKAMM_CLI); }, [&] { return run(other); });
        std::printf("    %-9s this %6.3f s %5.2f M rows/s, other %6.3f s %5.2f M rows/s: %.3fx its "
                    "time\n",
                    oneCore ? "one core" : "all cores", a, rows / a / 1e6, b, rows / b / 1e6,
                    a / b);
    }
}

// Peak memory of the command line for a line of 1 GiB from a pipe, and for
// a file of 10 M rows.
int PeakMemory(const std::string& dir) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return 1;
    const pid_t writer = ::fork();
    if (writer == 0) {
        ::close(pipeFds[0]);
        const std::string head = "RelativeHumidity,note\n60,";
        const std::string block(1 << 20, 'x');
        bool ok = ::write(pipeFds[1], head.data(), head.size()) > 0;
        for (int i = 0; ok && i < 1024; ++i)
            ok = ::write(pipeFds[1], block.data(), block.size()) > 0;
        ok = ok && ::write(pipeFds[1], "\n50,y\n", 6) > 0;
        ::_exit(ok ? 0 : 1);
    }
    ::close(pipeFds[1]);
    const Ran line =
        RunProcess({NEBELKAMM_CLI, "--batch", "-"}, pipeFds[0], dir + "/out.csv", false);
    ::close(pipeFds[0]);
    ::waitpid(writer, nullptr, 0);
    std::printf("a line of 1 GiB:  %6.2f s, peak RSS %6.1f MB, status %d\n", line.Seconds,
                line.MaxRssKiB / 1024.0, line.Status);
    const std::string in = dir + "/rows.csv";
    MakeInput(in, 10000000);
    const Ran rows = RunProcess({NEBELKAMM_CLI, "--batch", in}, -1, dir + "/out.csv", false);
    std::printf("10 M rows:        %6.2f s, peak RSS %6.1f MB, status %d\n", rows.Seconds,
                rows.MaxRssKiB / 1024.0, rows.Status);
    std::remove(in.c_str());
    std::remove((dir + "/out.csv").c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    char scratch[] = "/tmp/nebelkamm-batch-XXXXXX";
    if (argc > 1 && std::string(argv[1]) == "--rss") {
        if (!mkdtemp(scratch))
            return 1;
        const int status = PeakMemory(scratch);
        ::rmdir(scratch);
        return status;
    }
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
    std::printf(
        "  batch, 2 threads                        %7.3f s  %5.2f M rows/s  %.2fx the floor\n", two,
        rows / two / 1e6, two / floor);
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
        std::printf("  pandas + NumPy: %s\n",
                    std::getenv("NEBELKAMM_NO_PANDAS")
                        ? "skipped (NEBELKAMM_NO_PANDAS)"
                        : "not installed (apt-get install python3-pandas)");
    }
    AgainstScalar(in, out, rows);
    if (const char* other = std::getenv("NEBELKAMM_AGAINST"))
        Against(other, in, out, rows);
    std::remove(in.c_str());
    std::remove(out.c_str());
    ::rmdir(dir);
    return 0;
}
