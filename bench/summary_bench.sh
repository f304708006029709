#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# --summary against the plain batch on the same timestamped log, written to
# /dev/null, run in turns: the median time and the largest peak memory of
# each, and their ratios.
# Usage: bench/summary_bench.sh [ROWS] [RUNS]   (after the build; build/bin)
set -euo pipefail
cd "$(dirname "$0")/.."
rows="${1:-10000000}"
runs="${2:-5}"
cli="$PWD/build/bin/nebelkamm-cli"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# One row a second from 2026-12-01, an engine log's values varying.
awk -v n="$rows" 'BEGIN {
    print "time,RelativeHumidity,TempBeforeBlower,TempAfterCooler,PowerOnEngine"
    for (i = 0; i < n; i++) {
        s = 1796083200 + i
        printf "%d,%.1f,%.1f,%.1f,%d\n", s, 60 + (i % 400) / 10, 20 + (i % 150) / 10,
            30 + (i % 300) / 10, 30000 + (i % 10000)
    }
}' >"$work/log.csv"
run() { # label args...: seconds and peak KiB, a line
    /usr/bin/time -f "%e %M" -o "$work/t" "$cli" --batch "$work/log.csv" --no-save "${@:2}" \
        >/dev/null 2>/dev/null || true
    echo "$1 $(tail -1 "$work/t")"
}
for _ in $(seq "$runs"); do
    run batch
    run summary --summary
done | awk -v rows="$rows" '
    { t[$1] = t[$1] " " $2; if ($3 > m[$1]) m[$1] = $3 }
    function median(list,    a, n, i, j, x) {
        n = split(list, a, " ")
        for (i = 2; i <= n; i++) { x = a[i]; for (j = i - 1; j >= 1 && a[j] > x; j--) a[j + 1] = a[j]; a[j + 1] = x }
        return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
    }
    END {
        b = median(t["batch"]); s = median(t["summary"])
        printf "%d rows, medians of %d runs in turns: batch %.2f s (peak %d KiB), --summary %.2f s (peak %d KiB): %.3fx the time, %.3fx the memory\n",
            rows, split(t["batch"], x, " "), b, m["batch"], s, m["summary"], s / b, m["summary"] / m["batch"]
    }'
