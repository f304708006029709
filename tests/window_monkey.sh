#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# A monkey at the real window: random key presses, numbers, garbage, huge
# numbers and decimal commas typed into random fields, clicks into fields
# and on "Calculate", every message box answered. The window must never
# crash or hang; after a last "Calculate" and "Exit" the settings file must
# hold seven numbers, each one a field can hold.
# Usage: window_monkey.sh path/to/nebelkamm [KEYS]   (default 10000 keys)
set -uo pipefail

app="$(realpath "$1")"
keys_wanted="${2:-${NEBELKAMM_MONKEY_KEYS:-10000}}"
seed="${NEBELKAMM_MONKEY_SEED:-$$}"
keys=0
RANDOM=$seed

fail() {
    echo "FAIL (seed $seed, after $keys keys): $*"
    tail -40 "$work/app.log"
    exit 1
}

source "$(dirname "$0")/xvfb.sh"

title='Condensation at charge air cooler'
cd "$work" || exit 1
starts=0
start_app() {
    "$app" >>"$work/app.log" 2>&1 &
    app_pid=$!
    starts=$((starts + 1))
    win="$(timeout 60 xdotool search --sync --onlyvisible --name "$title" | head -n1)"
    [ -n "$win" ] || fail "the window did not show"
    sleep 0.5
    read -r wx wy < <(xdotool getwindowgeometry "$win" | sed -n 's/.*Position: \([0-9]*\),\([0-9]*\).*/\1 \2/p')
}
start_app

field_tops=(8 32 56 80 120 144 168 208 232 256 280 304 344)
texts=(0 1 42 99.9 100 1e2 .5 5. 1,5 2,25 -3 +7 1e308 1e400 -1e400 99999999999999999999
    abc NAN INF "" 1.2.3 " 12 " 0.0001 3e-5 1e-400 12345678901234567890 "--" . e5 ",")
special=(Tab shift+Tab Return Escape BackSpace Delete Home End Left Right ctrl+a ctrl+z
    ctrl+v Up Down)
keys=0

# Seven numbers, each within its field's range.
check_file() {
    local m key max value
    for m in RelativeHumidity=100 TempBeforeBlower=100 PressureBeforeBlower=100 \
        ScavingAirPressure=10 TempAfterCooler=100 SpecificAirFlow=50 PowerOnEngine=100000; do
        key="${m%%=*}"
        max="${m#*=}"
        value="$(sed -n "s/^$key=//p" Nebelkamm.ini)"
        awk -v v="$value" -v max="$max" 'BEGIN {
            if (v !~ /^[0-9]+(\.[0-9]+)?(E-?[0-9]+)?$/ || v + 0 < 0 || v + 0 > max) exit 1 }' ||
            fail "$key=$value is no number a field holds"
    done
}
# The program ended cleanly (the monkey can reach "Exit" too) or not.
ended() {
    wait "$app_pid"
    local status=$?
    app_pid=""
    [ $status -eq 0 ] || fail "the program ended with status $status"
    grep -q "ERROR: AddressSanitizer\|runtime error:" "$work/app.log" && fail "sanitizer report"
    check_file
}
# A window that closed through "Exit" is checked and started again.
alive() {
    kill -0 "$app_pid" 2>/dev/null && return
    ended
    start_app
}
# Answers every box that is up; a box that stays up through 40 answers
# means the window is caught in a loop.
answer_boxes() {
    local tries=0 w n open
    while :; do
        open=""
        for w in $(xdotool search --onlyvisible --name '.' 2>/dev/null); do
            n="$(xdotool getwindowname "$w" 2>/dev/null)"
            [ -n "$n" ] && [ "$n" != "$title" ] && open="$w"
        done
        [ -z "$open" ] && return
        tries=$((tries + 1))
        [ $tries -gt 40 ] && fail "message boxes keep coming"
        xdotool key --clearmodifiers Return
        sleep 0.05
        kill -0 "$app_pid" 2>/dev/null || return 0
    done
}

click_at() {
    xdotool mousemove $((wx + $1)) $((wy + $2)) click 1
}

while [ $keys -lt "$keys_wanted" ]; do
    case $((RANDOM % 10)) in
    0 | 1 | 2 | 3)
        t="${texts[RANDOM % ${#texts[@]}]}"
        [ -n "$t" ] && xdotool type --delay 2 -- "$t"
        keys=$((keys + ${#t}))
        ;;
    4 | 5 | 6)
        xdotool key --delay 2 "${special[RANDOM % ${#special[@]}]}"
        keys=$((keys + 1))
        ;;
    7 | 8)
        click_at $((210 + RANDOM % 60)) $((${field_tops[RANDOM % 13]} + 4 + RANDOM % 13))
        [ $((RANDOM % 4)) -eq 0 ] && xdotool click --repeat 2 --delay 40 1
        ;;
    9)
        click_at $((20 + RANDOM % 90)) $((386 + RANDOM % 20)) # Calculate
        ;;
    esac
    sleep 0.01
    alive
    answer_boxes
done

# Answers the boxes; where a check failed, the field has its text selected
# again, and typing 1 mends it.
settle() {
    local before
    before="$(other_windows_count)"
    answer_boxes
    if [ "$before" -gt 0 ]; then
        xdotool type 1
        sleep 0.05
    fi
}
other_windows_count() {
    local w n count=0
    for w in $(xdotool search --onlyvisible --name '.' 2>/dev/null); do
        n="$(xdotool getwindowname "$w" 2>/dev/null)"
        [ -n "$n" ] && [ "$n" != "$title" ] && count=$((count + 1))
    done
    echo $count
}

# Leave every field once (each checks its entry, a bad one is mended), then
# Calculate and Exit, as a user who wants to finish would.
alive
answer_boxes
click_at 240 18
sleep 0.1
settle
for _ in $(seq 15); do
    xdotool key Tab
    sleep 0.1
    settle
done
for _ in $(seq 20); do
    kill -0 "$app_pid" 2>/dev/null || break
    click_at 66 396
    sleep 0.3
    settle
    click_at 258 396
    for _ in $(seq 20); do
        kill -0 "$app_pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$app_pid" 2>/dev/null || break
    settle
done
if kill -0 "$app_pid" 2>/dev/null; then
    fail "Exit did not end the program: hang"
fi
ended
echo "PASS: $keys keys (seed $seed), $starts starts: no crash, no hang, seven valid numbers saved"
