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
# 5. "Copy results" from the background's menu: the last Calculate as the
# command line computes it, row by row; typing over a field afterwards
# changes nothing of it.
cli="$(dirname "$app")/nebelkamm-cli"
command -v xclip >/dev/null || fail "xclip is not installed (tools/deps.sh installs it)"
shown() { # how many windows the app shows: menus and popups are windows too
    xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null | wc -l
}
await_shown() { # count what: waits until the app shows that many windows
    for _ in $(seq 100); do
        [ "$(shown)" -eq "$1" ] && return 0
        sleep 0.05
    done
    fail "$2: the app shows $(shown) windows, not $1"
}
menu() { # opens the background's menu over the lone main window
    xdotool mousemove $(at 150 380) click 3
    await_shown 2 'the menu did not open'
}
copy() { # the copied results, once the menu's first entry is chosen
    printf '' | xclip -selection clipboard # so that only a new copy fills it
    menu
    xdotool key Down Return
    for _ in $(seq 100); do
        xclip -o -selection clipboard 2>/dev/null | grep -q . && break
        sleep 0.05
    done
    await_shown 1 'the menu did not close'
    xclip -o -selection clipboard
}
sized() { # window min_width min_height: waits until the window has its size
    local w h
    for _ in $(seq 100); do
        read -r w h < <(xdotool getwindowgeometry --shell "$1" |
            awk -F= '/^WIDTH=/{w=$2} /^HEIGHT=/{h=$2} END{print w, h}')
        [ "${w:-0}" -ge "$2" ] && [ "${h:-0}" -ge "$3" ] && return 0
        sleep 0.05
    done
    fail "window $1 did not reach ${2}x${3}"
}
as_copied() { # the command line's text as the window copies it: caption TAB value TAB unit
    (cd "$work" && "$cli" --no-save --reference "$@") | awk 'NF == 0 { next }
        /^Reference/ { print; next }
        { c = substr($0, 1, 44); sub(/ +$/, "", c); n = split(substr($0, 45), f, " ");
          printf "%s\t%s\t%s\n", c, f[1], f[2] }'
}
[ "$(copy)" = "$(as_copied 60 25 0.98 3.1 45 7.8 40000)" ] ||
    fail "copied $(copy) instead of $(as_copied 60 25 0.98 3.1 45 7.8 40000)"
xdotool mousemove $(at 240 18) click --repeat 2 --delay 80 1
type_text 30
key Tab
[ "$(copy)" = "$(as_copied 60 25 0.98 3.1 45 7.8 40000)" ] ||
    fail "after typing 30, copied $(copy)"
# 6. Tab to Calculate and press Return: the typed 30 is calculated.
# The keys go to the window in order; each is handled before the next.
xdotool key Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab Return
[ "$(copy)" = "$(as_copied 30 25 0.98 3.1 45 7.8 40000)" ] ||
    fail "Return on Calculate: copied $(copy)"
# 7. The chart of the 95 %, 45 C, 4.5 bar point, saved through the dialog as
# an SVG drawing under a name without an extension: it holds the knee.
xdotool mousemove $(at 240 18) click --repeat 2 --delay 80 1
for entry in 95 Tab 45 Tab 1.02 'Tab Tab' 4.5 'Tab Tab Tab' 40 Tab 7.8 Tab 41200 \
    'Tab Tab Tab Tab Return'; do
    case "$entry" in
    Tab*) xdotool key $entry ;;
    *) xdotool type --delay 40 "$entry" ;;
    esac
done
[ "$(copy)" = "$(as_copied 95 45 1.02 4.5 40 7.8 41200)" ] ||
    fail "the 4.5 bar point: copied $(copy)"
menu
xdotool key Down Down Return
chart="$(timeout 20 xdotool search --sync --onlyvisible --name 'Condensate chart' | head -n1)"
[ -n "$chart" ] || fail "the chart did not show"
sized "$chart" 700 450
read -r cx cy cw < <(xdotool getwindowgeometry --shell "$chart" |
    awk -F= '/^X=/{x=$2} /^Y=/{y=$2} /^WIDTH=/{w=$2} END{print x, y, w}')
xdotool mousemove $((cx + cw - 40)) $((cy + 22)) click 1
dialog="$(timeout 20 xdotool search --sync --onlyvisible --name 'Save chart' | head -n1)"
[ -n "$dialog" ] || fail "the save dialog did not show"
sized "$dialog" 400 300
read -r dx dy dh < <(xdotool getwindowgeometry --shell "$dialog" |
    awk -F= '/^X=/{x=$2} /^Y=/{y=$2} /^HEIGHT=/{h=$2} END{print x, y, h}')
xdotool mousemove $((dx + 250)) $((dy + dh - 23)) click 1 # Files of type
await_shown 4 'the list of file types did not open'
xdotool key Down Return
await_shown 3 'the list of file types did not close'
xdotool mousemove $((dx + 250)) $((dy + dh - 53)) click 1 # File name
xdotool key ctrl+a
type_text c2
key Return
for _ in $(seq 50); do [ -s "$work/c2.svg" ] && break; sleep 0.1; done
knee="$("$cli" --no-save 95 45 1.02 4.5 40 7.8 41200 |
    awk '/^Temperature where condensation/ { print $(NF-1) }')"
grep -q ">$knee °C<" "$work/c2.svg" || fail "c2.svg lacks the knee's label $knee °C"
xdotool key --window "$chart" Escape >/dev/null 2>&1
xdotool mousemove $(at 258 396) click 1
for _ in $(seq 50); do
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$app_pid" 2>/dev/null && fail "Exit did not close the window"
app_pid=""

expected='PowerOnEngine=41200
PressureBeforeBlower=1.02
RelativeHumidity=95
ScavingAirPressure=4.5
SpecificAirFlow=7.8
TempAfterCooler=40
TempBeforeBlower=45'
saved="$(grep '=' Nebelkamm.ini | LC_ALL=C sort)"
[ "$saved" = "$expected" ] || fail "settings file holds
$saved
instead of
$expected"
# 8. Started with inputs by name and a positional number it cannot take: the
# fields show the named values (Calculate computes what the command line
# does with the same arguments) and the number not taken is said.
args=(90 -5 --input TempAfterCooler=-5 --input "PowerOnEngine[MW]=41.2")
"$app" "${args[@]}" >"$work/app.log" 2>&1 &
app_pid=$!
win="$(timeout 20 xdotool search --sync --onlyvisible --name "$title" | head -n1)"
[ -n "$win" ] || fail "the window did not show with --input"
for _ in $(seq 100); do # until it stands where the layout puts it
    xdotool getwindowgeometry "$win" 2>/dev/null | grep -q "Position: $wx,$wy" && break
    sleep 0.05
done
xdotool getwindowgeometry "$win" | grep -q "Position: $wx,$wy" || fail "the window is not at $wx,$wy"
xdotool mousemove $(at 66 396) click 1
[ "$(copy)" = "$(as_copied "${args[@]}")" ] ||
    fail "started with ${args[*]}: copied $(copy) instead of $(as_copied "${args[@]}")"
grep -q "^nebelkamm: warning: argument 2 '-5' (TempBeforeBlower) is not taken" "$work/app.log" ||
    fail "the number not taken is not said: $(cat "$work/app.log")"
copy | grep -q "^Actual temperature after cooler	-5.0	\[°C\]$" || fail "TempAfterCooler is not -5.0"
kill "$app_pid"
app_pid=""

echo "PASS: typed over fields at start, after a message, after double-click and drags; left NAN; copied one computation; Return on Calculate; saved a chart as SVG; saved exactly the typed numbers; took --input and said the number not taken"
