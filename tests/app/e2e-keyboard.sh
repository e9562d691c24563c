#!/usr/bin/env bash
# The program driven from the keyboard alone, on a virtual X server against the
# simulated receiver: choose RV-80, Config, Tab through a key field without
# capturing, come back, Enter to capture Ctrl+F5, Tab on through every other
# field to OK, confirm the message, Tab to BACK, then EXIT. The pointer is never
# used; windows get the focus as a window manager would give it.
#
#   e2e-keyboard.sh BUILD_DIR ARTIFACT_DIR
set -euo pipefail
build=$1
artifacts=$2
program=$build/app/tavrolin
simulator_tool=$build/atusbhid/simulator/tavrolin-simulator

. "$(dirname "${BASH_SOURCE[0]}")/x11-helpers.sh"
require_tools Xvfb xdotool import

. "$(dirname "${BASH_SOURCE[0]}")/xvfb-session.sh"
mkdir -p "$artifacts"
rm -f "$artifacts"/*.png

export TAVROLIN_SIMULATOR_STATE=$work/receiver.state
"$simulator_tool" model RV-80 >/dev/null
"$simulator_tool" plug >/dev/null

LD_LIBRARY_PATH=$build/atusbhid/simulator XDG_RUNTIME_DIR=$work "$program" >"$work/app.log" 2>&1 &
app_pid=$!

keys() { # KEY... (one at a time, as a person types)
    xdotool key --delay 120 "$@"
    sleep 0.2
}
slot() { # N: the receiver's entry for slot N
    "$simulator_tool" show | awk -v n="$1" '$1 == n { print $2 }'
}

wait_for_windows 1
main=$(newest)
xdotool windowfocus --sync "$main"
sleep 0.3

# The model list has the first focus: three entries down is RV-80; Tab to
# Config, the next in template order (its face reads OK); Space.
keys Down Down Down Tab space
wait_for_windows 2
config=$(newest_other "$main")
xdotool windowfocus --sync "$config"
sleep 0.5 # the table loads in 10 ms steps
shoot "$config" 01-first-field

# The first key field has the focus but does not capture: Tab leaves it and
# Shift+Tab comes back.
keys Tab shift+Tab
# Enter starts the capture; then Ctrl+F5.
keys Return
shoot "$config" 02-capturing
press_ctrl_f5
shoot "$config" 03-captured

# Tab through the six other fields, LOAD and RESET to OK, and press it.
keys Tab Tab Tab Tab Tab Tab Tab Tab Tab space
wait_for_windows 3
box=$(newest_other "$main" "$config")
xdotool windowfocus --sync "$box"
keys Return
wait_for_windows 2

[ "$(slot 1)" = 01:3E ] || fail "slot 1 holds $(slot 1), not Ctrl+F5 (01:3E)"
for n in 2 3 4 5 6 7; do
    case $n in 2) want=00:51 ;; 3) want=00:52 ;; 4) want=00:3E ;; 5) want=00:29 ;;
        6) want=00:4B ;; 7) want=00:4E ;; esac
    [ "$(slot $n)" = "$want" ] || fail "slot $n changed to $(slot $n) on the way"
done

# The focus is back on OK; Tab to BACK ends the dialog.
xdotool windowfocus --sync "$config"
keys Tab space
wait_for_windows 1

# From Config on the main window: Exit is the next tab stop.
xdotool windowfocus --sync "$main"
keys Tab space
expect_clean_exit
echo "PASS; pictures in $artifacts"
