#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds nebelkamm-cli as it was at an earlier commit (in a scratch work tree)
# and runs build/bin/batch_bench against it: both command lines on the same
# file, in turns, in one run.
# Usage: bench/against.sh [REV] [ROWS]   (REV: the commit before the batch
# moved to the evaluation core, by default)
set -euo pipefail
cd "$(dirname "$0")/.."
rev="${1:-92db577}"
rows="${2:-1000000}"
scratch="$(mktemp -d)"
trap 'git worktree remove --force "$scratch/tree" >/dev/null 2>&1 || true; rm -rf "$scratch"' EXIT
git worktree add --detach "$scratch/tree" "$rev" >/dev/null
cmake -S "$scratch/tree" -B "$scratch/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DNEBELKAMM_BUILD_TESTS=OFF -DNEBELKAMM_BUILD_BENCH=OFF -DNEBELKAMM_DESIGNER_PLUGIN=OFF >/dev/null
cmake --build "$scratch/build" --target nebelkamm-cli >/dev/null
cmake --build build --target batch_bench >/dev/null
NEBELKAMM_AGAINST="$scratch/build/bin/nebelkamm-cli" build/bin/batch_bench "$rows"
