#!/usr/bin/env bash
# What a screen reader hears: the program under a virtual X server with the
# accessibility bus, its tree read over AT-SPI after RV-80 is chosen and after
# its configuration dialog is opened (from the keyboard).
#
#   atspi-names.sh BUILD_DIR
set -euo pipefail
build=$1
here=$(dirname "${BASH_SOURCE[0]}")
launcher=/usr/libexec/at-spi-bus-launcher

. "$here/x11-helpers.sh"
require_tools Xvfb xdotool dbus-run-session
[ -x "$launcher" ] || { echo "SKIP: at-spi2-core is not installed"; exit 77; }
require_pyatspi

if [ -z "${TAVROLIN_IN_DBUS_SESSION:-}" ]; then
    # One private session bus for the test, gone with it.
    TAVROLIN_IN_DBUS_SESSION=1 exec timeout 100 dbus-run-session -- bash "$0" "$@"
fi

. "$here/xvfb-session.sh"
launcher_pid=
stop_all() {
    [ -n "$launcher_pid" ] && kill "$launcher_pid" 2>/dev/null || true
    cleanup
}
trap stop_all EXIT
"$launcher" --launch-immediately >"$work/atspi.log" 2>&1 &
launcher_pid=$!

export TAVROLIN_SIMULATOR_STATE=$work/receiver.state
"$build/atusbhid/simulator/tavrolin-simulator" model RV-80 >/dev/null
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 LD_LIBRARY_PATH=$build/atusbhid/simulator \
    XDG_RUNTIME_DIR=$work "$build/app/tavrolin" >"$work/app.log" 2>&1 &
app_pid=$!

wait_for_windows 1
main=$(newest)
xdotool windowfocus --sync "$main"
sleep 0.3
xdotool key --delay 120 Down Down Down
/usr/bin/python3 "$here/atspi_names.py" main || fail "main window"

xdotool key --delay 120 Tab space # Config comes next in template order
wait_for_windows 2
/usr/bin/python3 "$here/atspi_names.py" config-rv80 || fail "RV-80 configuration dialog"
echo PASS
