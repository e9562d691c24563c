#!/usr/bin/env bash
# Key fields on German, French and Russian keyboards: the real program on a
# virtual X server, keys pressed by keycode (their place on the keyboard), the
# field texts read through AT-SPI and the bytes written checked through the
# simulator's tool. Then the table is loaded again under another layout.
#
#   e2e-layouts.sh BUILD_DIR ARTIFACT_DIR
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=$(cd "$1" && pwd)
artifacts=$2
program=$build/app/tavrolin
simulator_tool=$build/atusbhid/simulator/tavrolin-simulator

. "$here/x11-helpers.sh"
require_tools Xvfb xdotool setxkbmap import dbus-run-session
require_pyatspi

# A session bus of its own, which AT-SPI's bus is started from and ends with.
if [ -z "${TAVROLIN_E2E_SESSION_BUS:-}" ]; then
    exec dbus-run-session -- env TAVROLIN_E2E_SESSION_BUS=1 bash "$0" "$build" "$artifacts" \
        2> >(grep -v 'Failed to set fd limit\|Activating service\|Successfully activated\|SpiRegistry daemon' >&2)
fi

. "$here/xvfb-session.sh"
mkdir -p "$artifacts"
rm -f "$artifacts"/*.png

dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress \
    >/dev/null || fail "the accessibility bus did not start"
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
export TAVROLIN_SIMULATOR_STATE=$work/receiver.state
"$simulator_tool" model RV-80 >/dev/null
"$simulator_tool" plug >/dev/null

setxkbmap de
LD_LIBRARY_PATH=$build/atusbhid/simulator XDG_RUNTIME_DIR=$work "$program" >"$work/app.log" 2>&1 &
app_pid=$!

# The middle of each key field of the RV-80 dialog, slots 1 to 7, in the
# dialog's pixels.
slot_x=(0 82 83 340 340 340 82 340)
slot_y=(0 68 142 68 132 176 216 242)
# The text of the field of one slot.
field_text() { # SLOT
    eval "$(xdotool getwindowgeometry --shell "$config")"
    /usr/bin/python3 "$here/field-texts.py" "$app_pid" \
        "$((X + slot_x[$1])),$((Y + slot_y[$1]))"
}
expect_text() { # SLOT TEXT
    local shown
    for _ in $(seq 20); do # a busy machine may be slow to show it
        shown=$(field_text "$1")
        [ "$shown" = "$2" ] && return 0
        sleep 0.1
    done
    fail "slot $1 shows '$shown', expected '$2' ($(setxkbmap -query | grep layout))"
}
# Keys by keycode (evdev code + 8), held the way a person holds them.
press() { # KEYCODE...
    local code
    for code in "$@"; do xdotool keydown "$code"; sleep 0.1; done
    for ((i = $#; i > 0; i--)); do xdotool keyup "${!i}"; sleep 0.1; done
    sleep 0.2
}
capture() { # SLOT KEYCODE...
    local slot=$1
    shift
    click "$config" "${slot_x[$slot]}" "${slot_y[$slot]}"
    press "$@"
}

wait_for_windows 1
main=$(newest)
sleep 0.3
xdotool windowfocus --sync "$main"
choose_rv80 "$main"
click "$main" 62 290
wait_for_windows 2
config=$(newest_other "$main")
sleep 0.5
xdotool windowfocus --sync "$config"
expect_text 6 "Page Up"

# German: the key at the place of Y is Z; Shift+7 pressed within a millisecond
# as macro tools send it; the dead key left of 1.
capture 1 29
expect_text 1 "Z"
click "$config" "${slot_x[2]}" "${slot_y[2]}"
xdotool keydown --delay 0 50 keydown --delay 0 16 keyup --delay 0 16 keyup --delay 0 50
sleep 0.2
expect_text 2 "Shift+7"
capture 3 49
expect_text 3 "^"

# French: 1 and 2 of the digit row give & and é.
setxkbmap fr
capture 4 10
expect_text 4 "&"
capture 5 37 11
expect_text 5 "Ctrl+É"

# Russian letters.
setxkbmap ru
capture 6 24
expect_text 6 "Й"
capture 7 64 52
expect_text 7 "Alt+Я"
shoot "$config" layouts-captured

# OK writes the keys the user pressed, by place.
click "$config" 70 292
wait_for_windows 3
box=$(newest_other "$main" "$config")
xdotool windowfocus --sync "$box"
xdotool key Return
wait_for_windows 2
table=$("$simulator_tool" show)
echo "$table"
expected=(0 "00:1C" "02:24" "00:35" "00:1E" "01:1F" "00:14" "04:1D")
for slot in 1 2 3 4 5 6 7; do
    echo "$table" | grep -Eq "^ +$slot +${expected[$slot]} " ||
        fail "slot $slot of the receiver does not hold ${expected[$slot]}"
done

# LOAD under the German layout names the same keys as a German keyboard does.
setxkbmap de
xdotool windowfocus --sync "$config"
click "$config" 200 290
sleep 0.5
expected_texts=("" "Z" "Shift+7" "^" "1" "Ctrl+2" "Q" "Alt+Y")
for slot in 1 2 3 4 5 6 7; do expect_text "$slot" "${expected_texts[$slot]}"; done
shoot "$config" layouts-loaded-de

# The longest names are drawn whole (see the picture).
capture 1 50 37 64 117
expect_text 1 "Shift+Ctrl+Alt+Page Down"
shoot "$config" layouts-long-name

# BACK, then EXIT.
click "$config" 354 294
wait_for_windows 1
click "$main" 354 290
expect_clean_exit
echo "PASS; pictures in $artifacts"
