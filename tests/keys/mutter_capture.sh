#!/usr/bin/env bash
# A key field capturing on mutter, GNOME's compositor, headless, keys sent
# through its remote-desktop interface. mutter grants shortcut inhibition
# without asking: Super+Tab with Super held down since before the click,
# Super+H and Alt+Tab reach the field whole, and nothing is told.
#
#   mutter_capture.sh PROBE MODULE
set -euo pipefail
session_pid=
cleanup_compositor() { stop_group "$session_pid"; }
# shellcheck source=wayland-helpers.sh
source "$(dirname "$0")/wayland-helpers.sh"
/usr/bin/python3 -c 'from gi.repository import Gio' 2>/dev/null ||
    { echo "SKIP: python3-gi is not installed"; exit 77; }
wayland_setup "$1" "$2" mutter dbus-run-session
need_shm mutter
install -m 755 "$(dirname "$0")/mutter-keys.py" "$work/"
private_dir run

# On a D-Bus session of its own: mutter, then a probe per case, NAME and keys
# with "/" where the click comes (evdev: 125 Super, 56 Alt, 15 Tab, 35 H).
cat >"$work/session.sh" <<'EOF_SESSION'
cd "$1"
mutter --headless --wayland --no-x11 --virtual-monitor 1024x768 >mutter.log 2>&1 &
trap 'kill $! && wait $!' EXIT
for _ in $(seq 200); do [ -S wayland-0 ] || sleep 0.05; done
[ -S wayland-0 ] || { echo "SKIP: mutter did not start: $(tail -n1 mutter.log)"; exit 77; }
while read -r name keys; do
    WAYLAND_DISPLAY=wayland-0 QT_QPA_PLATFORM=wayland LD_LIBRARY_PATH=.. timeout 30 ../probe --before \
        /usr/bin/python3 ../mutter-keys.py "$name.pid" $keys -- \
        sh -c "until [ -s $name.pid ]; do sleep 0.02; done; kill -USR1 \$(cat $name.pid); sleep 0.5" \
        >"$name.out" || exit 1
done <<'EOF_CASES'
first +125 / +15 -15 -125
superh / +125 +35 -35 -125
alttab / +56 +15 -15 -56
EOF_CASES
EOF_SESSION
"${as_user[@]}" env -i PATH="$PATH" HOME="$work/run" XDG_RUNTIME_DIR="$work/run" \
    GSETTINGS_BACKEND=memory GIO_USE_VFS=local timeout 100 dbus-run-session -- \
    bash "$work/session.sh" "$work/run" >"$work/session.log" 2>&1 &
session_pid=$!
status=0
wait "$session_pid" || status=$?
session_pid=
[ "$status" -ne 77 ] || { grep SKIP "$work/session.log"; exit 77; }
for expected in "first L_Wnd+Tab 08:0009" "superh L_Wnd+H 08:0048" "alttab Alt+Tab 04:0009"; do
    read -r name text key <<<"$expected"
    echo "$name: $(cat "$work/run/$name.out" 2>/dev/null)"
    [ "$status" -eq 0 ] && [ "$(cat "$work/run/$name.out")" = "state=Active text=$text key=$key told=0 names=,,,,," ] ||
        { sed 's/^/  /' "$work/session.log" >&2; echo "FAIL: $text should be captured whole, nothing told" >&2; exit 1; }
done
echo PASS
