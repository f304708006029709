#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds and starts the calculator; the settings file is ./Nebelkamm.ini in
# the directory this is run from.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/tools/build.sh"
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec "$root/build/bin/nebelkamm" "$@"
fi
echo "No display to show the window on. To see it without one, run:"
echo "    xvfb-run -a $root/build/bin/nebelkamm $*"
echo "Meanwhile, the command-line calculator on the stored inputs:"
exec "$root/build/bin/nebelkamm-cli" "$@"
