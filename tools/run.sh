#!/usr/bin/env bash
# Builds and starts the calculator in the current directory's settings.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/tools/build.sh"
if [ -x "$root/build/bin/nebelkamm" ]; then
    exec "$root/build/bin/nebelkamm" "$@"
fi
echo "The window is not built yet; running the command-line calculator on the stored inputs."
exec "$root/build/bin/nebelkamm-cli" "$@"
