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

for tool in Xvfb xdotool import; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

. "$(dirname "${BASH_SOURCE[0]}")/xvfb-session.sh"
mkdir -p "$artifacts"
rm -f "$artifacts"/*.png

fail() {
    echo "FAIL: $*" >&2
    [ -f "$work/app.log" ] && sed 's/^/  program: /' "$work/app.log" >&2
    exit 1
}

export TAVROLIN_SIMULATOR_STATE=$work/receiver.state
"$simulator_tool" model RV-80 >/dev/null
"$simulator_tool" plug >/dev/null

LD_LIBRARY_PATH=$build/atusbhid/simulator XDG_RUNTIME_DIR=$work "$program" >"$work/app.log" 2>&1 &
app_pid=$!

windows() { xdotool search --onlyvisible --classname '^tavrolin$' 2>/dev/null | sort -n; }
wait_for_windows() { # COUNT
    for _ in $(seq 100); do
        [ "$(windows | wc -l)" -eq "$1" ] && return 0
        kill -0 "$app_pid" 2>/dev/null || fail "the program ended"
        sleep 0.05
    done
    fail "expected $1 window(s), found $(windows | wc -l)"
}
newest() { windows | tail -n1; }
keys() { # KEY... (one at a time, as a person types)
    xdotool key --delay 120 "$@"
    sleep 0.2
}
shoot() { import -window "$1" "$artifacts/$2.png"; }
slot() { # N: the receiver's entry for slot N
    "$simulator_tool" show | awk -v n="$1" '$1 == n { print $2 }'
}

wait_for_windows 1
main=$(newest)
xdotool windowfocus --sync "$main"
sleep 0.3

# The model list has the first focus: three entries down is RV-80; Tab past
# the language list to Config (its face reads OK); Space.
keys Down Down Down Tab Tab space
wait_for_windows 2
config=$(windows | grep -vx "$main" | tail -n1)
xdotool windowfocus --sync "$config"
sleep 0.5 # the table loads in 10 ms steps
shoot "$config" 01-first-field

# The first key field has the focus but does not capture: Tab leaves it and
# Shift+Tab comes back.
keys Tab shift+Tab
# Enter starts the capture; Ctrl+F5 held the way a person presses it.
keys Return
shoot "$config" 02-capturing
xdotool keydown ctrl
sleep 0.15
xdotool keydown F5
sleep 0.15
xdotool keyup F5
sleep 0.15
xdotool keyup ctrl
sleep 0.2
shoot "$config" 03-captured

# Tab through the six other fields, LOAD and RESET to OK, and press it.
keys Tab Tab Tab Tab Tab Tab Tab Tab Tab space
wait_for_windows 3
box=$(windows | grep -vx -e "$main" -e "$config" | tail -n1)
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
for _ in $(seq 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.05; done
kill -0 "$app_pid" 2>/dev/null && fail "EXIT did not end the program"
status=0
wait "$app_pid" || status=$?
app_pid=
[ "$status" -eq 0 ] || fail "the program ended with status $status"
echo "PASS; pictures in $artifacts"
