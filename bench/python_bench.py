# SPDX-License-Identifier: MIT
"""The Python module's speed, each figure beside its baseline in one run:
evaluate_arrays per row against ComputeChargeAir and the bare vector kernel
in model_bench, against the nine steps written as NumPy array expressions,
with out= and without, on one thread and on all cores, with the reference
model against itself at NEBELKAMM_SIMD=scalar; two Python threads at once
against one after the other; Dask on one and two workers over CSV
partitions, beside nebelkamm-cli --batch on the same files; evaluate with a
nullable column against float64; how soon Ctrl-C ends a long evaluation.

Usage: PYTHONPATH=build/python /usr/bin/python3 bench/python_bench.py [--dask-rows N]
(run from the source folder after the build; model_bench and nebelkamm-cli
are taken from build/bin)."""

import argparse
import json
import os
import statistics
import subprocess
import sys
import tempfile
import threading
import time

import numpy as np

import nebelkamm

BIN = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "build", "bin")


def median_seconds(run, repeat=7):
    times = []
    for _ in range(repeat):
        start = time.perf_counter()
        run()
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def log_rows(count, seed=1):
    """A day of one-second engine logs, repeated, as the batch bench makes them."""
    rng = np.random.default_rng(seed)
    return {
        "RelativeHumidity": 30 + 70 * rng.random(count),
        "TempBeforeBlower": 45 * rng.random(count),
        "PressureBeforeBlower": 0.95 + 0.1 * rng.random(count),
        "ScavingAirPressure": 0.5 + 4 * rng.random(count),
        "TempAfterCooler": 25 + 35 * rng.random(count),
        "SpecificAirFlow": 6 + 3 * rng.random(count),
        "PowerOnEngine": 5000 + 40000 * rng.random(count),
    }


def nine_steps(c):
    """What an engineer would write: the model's nine steps as array
    expressions, no messages, no reference."""
    ps1 = np.power(2.71828, 19.016 - 4064.95 / (c["TempBeforeBlower"] + 236.25)) * 0.001
    a = 100.0 * c["PressureBeforeBlower"] / c["RelativeHumidity"]
    x1 = ps1 / (a - ps1) * 0.622
    r = (c["ScavingAirPressure"] + c["PressureBeforeBlower"]) / c["PressureBeforeBlower"]
    pv = r * x1 / (0.622 + x1) * 1000.0
    tc = 4064.95 / (19.016 - np.log(pv)) - 236.25
    ps2 = np.power(2.71828, 19.016 - 4064.95 / (c["TempAfterCooler"] + 236.25)) * 0.001
    x2 = ps2 / (r - ps2) * 0.622
    d = np.maximum(x1 - x2, 0)
    return x1, r, tc, x2, d, c["SpecificAirFlow"] * c["PowerOnEngine"] * d


def model_bench_ns(name, counter=None):
    """A model_bench benchmark's median nanoseconds (a call, or its counter), now."""
    out = subprocess.run([os.path.join(BIN, "model_bench"), f"--benchmark_filter={name}$",
                          "--benchmark_repetitions=9", "--benchmark_report_aggregates_only=true",
                          "--benchmark_format=json"], capture_output=True, check=True, text=True)
    for b in json.loads(out.stdout)["benchmarks"]:
        if b.get("aggregate_name") == "median":
            return b[counter] * 1e9 if counter else b["real_time"]
    raise RuntimeError(f"model_bench gave no median of {name}")


CLASSIC = ["WaterContentBeforeBlower", "PressureRatio", "DewPointTemperature",
           "MaxWaterContentInCooler", "CondensingWaterContent", "WaterAtSeparator", "WaterPerDay"]


def reference_once(rows):
    """evaluate_arrays with the reference model on one thread, timed once."""
    data = log_rows(rows)
    return median_seconds(lambda: nebelkamm.evaluate_arrays(data, reference=True, threads=1), 1)


def reference_at_scalar(rows):
    """The same in a process at NEBELKAMM_SIMD=scalar, timed once there."""
    out = subprocess.run([sys.executable, __file__, "--reference-seconds", str(rows)],
                         env={**os.environ, "NEBELKAMM_SIMD": "scalar"}, capture_output=True,
                         check=True, text=True)
    return float(out.stdout)


def in_turns(timers, repeat=7):
    """Each timer (a function that returns the seconds of one run) once a
    round, round after round, so that a machine slowed for a while by others
    slows every run alike: the median seconds of each."""
    times = {name: [] for name in timers}
    for _ in range(repeat):
        for name, timer in timers.items():
            times[name].append(timer())
    return {name: statistics.median(t) for name, t in times.items()}


def once(run):
    """A timer of one run."""
    return lambda: median_seconds(run, 1)


def arrays(rows):
    data = log_rows(rows)
    out = {key: np.empty(rows) for key in CLASSIC}
    numpy, given, given_all, one, every, ref, ref_scalar, ref_all = in_turns({
        "numpy": once(lambda: nine_steps(data)),
        "given": once(lambda: nebelkamm.evaluate_arrays(data, threads=1, out=out)),
        "given_all": once(lambda: nebelkamm.evaluate_arrays(data, out=out)),
        "one": once(lambda: nebelkamm.evaluate_arrays(data, threads=1)),
        "every": once(lambda: nebelkamm.evaluate_arrays(data)),
        "ref": once(lambda: nebelkamm.evaluate_arrays(data, reference=True, threads=1)),
        "ref_scalar": lambda: reference_at_scalar(rows),
        "ref_all": once(lambda: nebelkamm.evaluate_arrays(data, reference=True)),
    }).values()
    model = model_bench_ns("BM_ComputeChargeAir")
    bare = model_bench_ns("BM_BareKernel/1000000", "ns_a_row")

    def ns(seconds):
        return seconds / rows * 1e9

    print(f"{rows} rows, medians of 7 rounds, each run once a round; vector code "
          f"{nebelkamm._core.simd()}:")
    print(f"  ComputeChargeAir (model_bench, median of 9)   {model:7.1f} ns a row")
    print(f"  bare vector kernel (model_bench, median of 9) {bare:7.1f} ns a row")
    print(f"  NumPy, the nine steps                          {ns(numpy):7.1f} ns a row")
    for name, seconds in (("out=, 1 thread", given), ("out=, all cores", given_all),
                          ("1 thread", one), ("all cores", every)):
        print(f"  evaluate_arrays, {name:16s} {ns(seconds):7.1f} ns a row  "
              f"{seconds / numpy:.3f}x NumPy  {ns(seconds) / bare:.2f}x the bare kernel")
    print(f"  with the reference, 1 thread {ns(ref):7.1f} ns a row, at NEBELKAMM_SIMD=scalar "
          f"{ns(ref_scalar):7.1f}: {ref / ref_scalar:.3f}x; all cores {rows / ref_all / 1e6:.2f}"
          " M rows/s")


def two_threads(rows):
    data = log_rows(rows)

    def run():
        nebelkamm.evaluate_arrays(data, threads=1)

    def one_after_the_other():
        run()
        run()

    def side_by_side():
        workers = [threading.Thread(target=run) for _ in range(2)]
        for w in workers:
            w.start()
        for w in workers:
            w.join()

    serial = median_seconds(one_after_the_other, 5)
    parallel = median_seconds(side_by_side, 5)
    print(f"two Python threads of {rows} rows each, threads=1, medians of 5: one after the "
          f"other {serial:.3f} s, side by side {parallel:.3f} s: {parallel / serial:.2f}x")


def write_logs(folder, rows, parts):
    """parts CSV files of rows // parts engine-log rows each, with a time
    column; a block of rows formatted once and repeated."""
    import pandas as pd

    per = rows // parts
    block = min(per, 100_000)
    frame = pd.DataFrame(log_rows(block))
    frame.insert(0, "time", np.arange(block) + 1733650000)
    text = frame.to_csv(index=False, float_format="%.6g")
    header, body = text.split("\n", 1)
    for p in range(parts):
        with open(os.path.join(folder, f"log{p}.csv"), "w") as out:
            out.write(header + "\n")
            for _ in range(per // block):
                out.write(body)
    return sorted(os.path.join(folder, f) for f in os.listdir(folder)), per // block * block * parts


def dask_partitions(rows, parts=8):
    import dask.dataframe as dd
    import distributed
    import nebelkamm.dask

    folder = tempfile.mkdtemp(prefix="nebelkamm-dask-")
    files, rows = write_logs(folder, rows, parts)
    times = {}
    for workers in (1, 2):
        with distributed.LocalCluster(n_workers=workers, threads_per_worker=1, processes=True,
                                      dashboard_address=None) as cluster, \
                distributed.Client(cluster):
            def ours():
                nebelkamm.dask.evaluate_csv(files).WaterAtSeparator.sum().compute()

            def pandas_reader():
                logs = dd.read_csv(os.path.join(folder, "log*.csv"))
                nebelkamm.dask.evaluate(logs).WaterAtSeparator.sum().compute()
            times[workers] = median_seconds(ours, 3)
            times["pandas", workers] = median_seconds(pandas_reader, 1)
    cli = median_seconds(lambda: [subprocess.run(
        ["taskset", "-c", "0", os.path.join(BIN, "nebelkamm-cli"), "--batch", f, "--no-save"],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, cwd=folder) for f in files], 3)
    for f in files:
        os.remove(f)
    os.rmdir(folder)
    print(f"Dask over {rows} rows in {parts} CSV files, sum of WaterAtSeparator, medians of 3: "
          f"evaluate_csv on 1 worker {times[1]:.1f} s ({rows / times[1] / 1e6:.2f} M rows/s), "
          f"2 workers {times[2]:.1f} s: {times[1] / times[2]:.2f}x one; nebelkamm-cli --batch "
          f"on core 0 file by file to /dev/null {cli:.1f} s ({rows / cli / 1e6:.2f} M rows/s): "
          f"1 worker {cli / times[1]:.2f}x its rows/s. With pandas' read_csv (one run each): "
          f"1 worker {times['pandas', 1]:.1f} s, 2 workers {times['pandas', 2]:.1f} s")


INTERRUPT = """
import os, signal, sys, threading, time
import numpy as np, nebelkamm
data = {"RelativeHumidity": np.full(30_000_000, 90.0)}
def later():
    time.sleep(0.3)  # well inside the loop of about a second
    global sent
    sent = time.perf_counter()
    os.kill(os.getpid(), signal.SIGINT)
threading.Thread(target=later).start()
try:
    nebelkamm.evaluate_arrays(data, reference=True, threads=1, inputs={})
    print("nan")
except KeyboardInterrupt:
    print(time.perf_counter() - sent)
"""


def interrupt_latency():
    seconds = [float(subprocess.run([sys.executable, "-W", "ignore", "-c", INTERRUPT],
                                    capture_output=True, text=True).stdout) for _ in range(5)]
    print(f"SIGINT 0.3 s into evaluate_arrays of 30 M rows, reference=True, threads=1: "
          f"KeyboardInterrupt after {statistics.median(seconds) * 1000:.0f} ms (median of 5, "
          f"each in a fresh process)")


def nullable_columns(rows):
    import pandas as pd
    import warnings

    warnings.simplefilter("ignore", nebelkamm.NebelkammWarning)
    plain = pd.DataFrame(log_rows(rows))
    nullable = plain.astype({"RelativeHumidity": "Float64"})
    base = median_seconds(lambda: nebelkamm.evaluate(plain, threads=1))
    with_na = median_seconds(lambda: nebelkamm.evaluate(nullable, threads=1))
    print(f"evaluate of {rows} rows, threads=1, medians of 7: float64 {base * 1e3:.0f} ms, "
          f"one Float64 column {with_na * 1e3:.0f} ms: {with_na / base:.2f}x")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rows", type=int, default=1_000_000)
    parser.add_argument("--dask-rows", type=int, default=20_000_000)
    parser.add_argument("--reference-seconds", type=int, help=argparse.SUPPRESS)
    args = parser.parse_args()
    if args.reference_seconds:
        print(reference_once(args.reference_seconds))
        return
    arrays(args.rows)
    two_threads(2_000_000)
    nullable_columns(args.rows)
    interrupt_latency()
    if args.dask_rows:
        dask_partitions(args.dask_rows)


if __name__ == "__main__":
    main()
