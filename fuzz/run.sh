#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the fuzz targets with clang (ASan + UBSan + libFuzzer) into
# build-fuzz/ and runs each for SECONDS (default 60) from its committed seed
# corpus. New inputs go to a scratch folder, not into the tree; a crash
# leaves its input as build-fuzz/crash-* and fails the run.
# Usage: fuzz/run.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(numbertext numberbits profile cli batch batch_threads columnar summary)

bash tools/deps.sh clang libclang-rt-14-dev
if [ ! -f build-fuzz/build.ninja ]; then
    CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DNEBELKAMM_SANITIZE=ON -DNEBELKAMM_FUZZ=ON -DNEBELKAMM_WERROR=OFF \
        -DNEBELKAMM_BUILD_TESTS=OFF -DNEBELKAMM_BUILD_BENCH=OFF >/dev/null
fi
cmake --build build-fuzz --target "${targets[@]/%/_fuzz}"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for t in "${targets[@]}"; do
    scratch="$(mktemp -d)"
    echo "== ${t}_fuzz for ${seconds} s"
    status=0
    (cd build-fuzz && "./bin/${t}_fuzz" -max_total_time="$seconds" -print_final_stats=1 \
        -timeout=10 "$scratch" "$PWD/../fuzz/corpus/$t") >"$scratch.log" 2>&1 || status=$?
    grep -E "stat::number_of_executed_units|^Done|ERROR|SUMMARY|crash-|abort" "$scratch.log" || true
    if [ "$status" -ne 0 ]; then
        tail -40 "$scratch.log"
        echo "${t}_fuzz failed"
        exit 1
    fi
    rm -rf "$scratch" "$scratch.log"
done
