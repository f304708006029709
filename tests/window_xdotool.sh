#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The real window on a real X server, driven as a user drives it: typing,
# Tab, clicks, double-clicks and drags, message boxes answered with Return.
# Afterwards the settings file must hold exactly the numbers typed.
# Usage: window_xdotool.sh path/to/nebelkamm
set -uo pipefail

app="$(realpath "$1")"
pause="${NEBELKAMM_UI_PAUSE:-0.3}"

fail() {
    echo "FAIL: $*"
    if [ -n "${DISPLAY:-}" ]; then
        import -window root "${TMPDIR:-/tmp}/window_xdotool_failure.png" 2>/dev/null &&
            echo "screen: ${TMPDIR:-/tmp}/window_xdotool_failure.png"
    fi
    exit 1
}

source "$(dirname "$0")/xvfb.sh"

# Layout coordinates inside the window (fields at x 208..273).
title='Condensation at charge air cooler'
wx=0
wy=0
at() { # field_x field_y: absolute position inside a field or button
    echo "$((wx + $1)) $((wy + $2))"
}
other_windows() { # names of every visible window but the main one
    local w n
    for w in $(xdotool search --onlyvisible --name '.' 2>/dev/null); do
        n="$(xdotool getwindowname "$w" 2>/dev/null)"
        [ -n "$n" ] && [ "$n" != "$title" ] && echo "$n"
    done
}
expect_box() { # name: a box of that name comes up; answer it with Return
    for _ in $(seq 50); do
        if other_windows | grep -qxF "$1"; then
            sleep "$pause"
            xdotool key Return
            sleep "$pause"
            return 0
        fi
        sleep 0.1
    done
    fail "no box '$1' came up ($2)"
}
expect_no_box() {
    sleep 1
    local open
    open="$(other_windows)"
    [ -z "$open" ] || fail "unexpected box '$open' ($1)"
}
type_text() {
    xdotool type --delay 40 "$1"
    sleep "$pause"
}
key() {
    xdotool key "$1"
    sleep "$pause"
}
drag() { # y x_from x_to: press in a field, move, release
    xdotool mousemove $(at "$2" "$1") mousedown 1
    sleep 0.1
    xdotool mousemove $(at $((($2 + $3) / 2)) "$1")
    sleep 0.1
    xdotool mousemove $(at "$3" "$1")
    sleep 0.1
    xdotool mouseup 1
    sleep "$pause"
}

cd "$work" || exit 1
# A stored scavenge pressure that makes the condensation temperature NAN.
printf '[Input]\nScavingAirPressure=-5\n' >Nebelkamm.ini
"$app" >"$work/app.log" 2>&1 &
app_pid=$!
win="$(timeout 20 xdotool search --sync --onlyvisible --name "$title" | head -n1)"
[ -n "$win" ] || fail "the window did not show"
sleep 1
read -r wx wy < <(xdotool getwindowgeometry "$win" | sed -n 's/.*Position: \([0-9]*\),\([0-9]*\).*/\1 \2/p')
[ "$wx,$wy" = "361,175" ] || fail "window at $wx,$wy, not at the layout's 361,175"

# 1. At start the first field has the focus: typing replaces 50.0.
type_text 60
key Tab
# 2. After a range message the field's text is replaced by what is typed.
type_text 150
key Tab
expect_box 'Range check error!' 'temperature 150'
type_text 25
# Calculate with the stored -5 bar: the maths report, then NAN is shown.
xdotool mousemove $(at 66 396) click 1
expect_box nebelkamm 'log of a negative pressure ratio'
expect_no_box 'after the maths report'
# 4. A read-only field showing NAN lets the user go after one message.
xdotool mousemove $(at 240 178) click 1
sleep "$pause"
key Tab
expect_box 'Range check error!' 'Tab out of NAN'
key Tab
expect_no_box 'second Tab out of the read-only field'
# 3. Double-click selects the whole pressure, typing replaces it.
xdotool mousemove $(at 250 66) click --repeat 2 --delay 80 1
sleep "$pause"
type_text 0.98
# 3. A drag over the scavenge pressure, from the blanks to its end.
drag 130 210 270
type_text 3.1
# 3. A drag backwards over the temperature after cooler.
drag 218 271 209
type_text 45
xdotool mousemove $(at 66 396) click 1
expect_no_box 'Calculate with the typed numbers'
# 5. "Copy results" from the background's menu: the thirteen rows, then the
# reference below them, as the command line computes them.
if command -v xclip >/dev/null; then
    xdotool mousemove $(at 150 380) click 3
    sleep "$pause"
    key Down
    key Return
    copied="$(xclip -o -selection clipboard)"
    cli="$(dirname "$app")/nebelkamm-cli"
    want="$(cd "$work" && "$cli" --no-save --reference 60 25 0.98 3.1 45 7.8 40000 |
        grep '^Theoretical water content at separator' | awk '{print $(NF-1)}' | paste -sd' ')"
    got="$(printf '%s\n' "$copied" | grep '^Theoretical water content at separator' |
        cut -f2 | paste -sd' ')"
    [ "$(printf '%s\n' "$copied" | wc -l)" = 22 ] || fail "copied: $copied"
    printf '%s\n' "$copied" | grep -qx 'Reference (ASHRAE, absolute pressure)' ||
        fail "no reference heading in: $copied"
    [ "$got" = "$want" ] || fail "copied water '$got', the command line says '$want'"
else
    echo "xclip missing: the copied results are not checked"
fi
xdotool mousemove $(at 258 396) click 1
for _ in $(seq 50); do
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$app_pid" 2>/dev/null && fail "Exit did not close the window"
app_pid=""

expected='PowerOnEngine=40000
PressureBeforeBlower=0.98
RelativeHumidity=60
ScavingAirPressure=3.1
SpecificAirFlow=7.8
TempAfterCooler=45
TempBeforeBlower=25'
saved="$(grep '=' Nebelkamm.ini | LC_ALL=C sort)"
[ "$saved" = "$expected" ] || fail "settings file holds
$saved
instead of
$expected"
echo "PASS: typed over fields at start, after a message, after double-click and drags; left NAN; saved exactly the typed numbers"
