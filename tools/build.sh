#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Configures (once) and builds incrementally into build/; binaries in build/bin.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
if [ ! -f build/build.ninja ]; then
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
fi
cmake --build build
