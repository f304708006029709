# SPDX-License-Identifier: MIT
# Sourced by the window tests: starts an Xvfb of its own on a free display
# (sets xvfb_pid and DISPLAY) in a fresh $work, or exits 77 with the reason.
# On exit the app ($app_pid), the server and $work go.
work="$(mktemp -d)"
xvfb_pid=""
app_pid=""
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
if ! command -v Xvfb >/dev/null || ! command -v xdotool >/dev/null; then
    echo "SKIP: Xvfb or xdotool is not installed (tools/deps.sh installs both)"
    exit 77
fi
exec 3<>"$work/displayfd"
Xvfb -displayfd 3 -screen 0 800x600x24 -dpi 96 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do
    display="$(head -n1 "$work/displayfd" 2>/dev/null)"
    [ -n "$display" ] && break
    sleep 0.1
done
if [ -z "${display:-}" ]; then
    echo "SKIP: Xvfb cannot start: $(cat "$work/xvfb.log")"
    exit 77
fi
export DISPLAY=":$display"
unset QT_QPA_PLATFORM
export XDG_RUNTIME_DIR="$work"
export LC_ALL=C
