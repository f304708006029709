#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Starts an Xvfb and runs bench/start_bench on the built programs.
# Usage: bench/start.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
bin=build/bin
exec 3<>"$(mktemp)"
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb' EXIT
for _ in $(seq 50); do
    display="$(head -n1 /proc/self/fd/3 2>/dev/null || true)"
    [ -n "$display" ] && break
    sleep 0.1
done
DISPLAY=":$display" "$bin/start_bench" "$PWD/$bin/nebelkamm" "$PWD/$bin/minimal_window" \
    "$PWD/$bin/nebelkamm-cli" "$PWD/$bin/minimal_core" "${1:-30}"
