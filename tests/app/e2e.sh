#!/usr/bin/env bash
# Drives the real program on a virtual X server with real X input against the
# simulated receiver: choose RV-80, Config, capture Ctrl+F5 in the first key
# field, OK, and check the receiver's table through the simulator's tool. Also
# opens the help page. Every window it opens is saved as a picture.
#
#   e2e.sh BUILD_DIR ARTIFACT_DIR
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

# Qt's own options still reach Qt; the program's command line is tested with
# tavrolinctl's (test_commandline).
LD_LIBRARY_PATH=$build/atusbhid/simulator XDG_RUNTIME_DIR=$work \
    "$program" -platform xcb >"$work/app.log" 2>&1 &
app_pid=$!

wait_for_windows 1
main=$(newest)
[ "$(xdotool getwindowname "$main")" = Tavrolin ] || fail "the main window is not called Tavrolin"
sleep 0.3
shoot "$main" 01-main
xdotool windowfocus --sync "$main"

choose_rv80 "$main"
shoot "$main" 02-main-rv80

# Config (its face reads OK).
click "$main" 62 290
wait_for_windows 2
config=$(newest_other "$main")
sleep 0.5 # the table loads in 10 ms steps
shoot "$config" 03-config-rv80
xdotool windowfocus --sync "$config"

# The first key field, then Ctrl+F5.
click "$config" 82 68
press_ctrl_f5
shoot "$config" 04-config-captured

# OK writes and commits, then says so in a message box.
click "$config" 70 292
wait_for_windows 3
box=$(newest_other "$main" "$config")
sleep 0.2
shoot "$box" 05-message-completed
xdotool windowfocus --sync "$box"
xdotool key Return
wait_for_windows 2

table=$("$simulator_tool" show)
echo "$table"
echo "$table" | grep -Eq '^ +1 +01:3E ' || fail "slot 1 of the receiver does not hold Ctrl+F5"
echo "$table" | grep -Eq '^ +2 +00:51 ' || fail "slot 2 of the receiver changed"

# BACK ends the configuration dialog.
click "$config" 354 294
wait_for_windows 1

# HELP shows the page; its OK closes it.
click "$main" 62 252
wait_for_windows 2
help=$(newest_other "$main")
sleep 0.2
shoot "$help" 06-help-english
click "$help" 214 286
wait_for_windows 1

# Enter and Esc do not end the main window; EXIT does.
xdotool windowfocus --sync "$main"
xdotool key Return Escape
sleep 0.3
kill -0 "$app_pid" 2>/dev/null || fail "Enter or Esc ended the program"
click "$main" 354 290
expect_clean_exit
echo "PASS; pictures in $artifacts"
