#!/usr/bin/env bash
# A key field capturing on mutter, GNOME's compositor, headless with a
# virtual monitor; keys come through mutter's remote-desktop D-Bus interface.
# mutter grants shortcut inhibition without asking, so the combinations it
# would take (Super+Tab, Super+H, Alt+Tab) reach the field whole, the first
# one typed right after the click included, and nothing is told.
#
#   mutter_capture.sh PROBE MODULE
set -euo pipefail
probe=$1
module=$2

required_tools=(mutter dbus-run-session)
session_pid=
cleanup_compositor() {
    [ -n "$session_pid" ] && kill "$session_pid" 2>/dev/null && wait "$session_pid" 2>/dev/null
}
# shellcheck source=wayland-helpers.sh
source "$(dirname "$0")/wayland-helpers.sh"
/usr/bin/python3 -c 'from gi.repository import Gio' 2>/dev/null ||
    { echo "SKIP: python3-gi is not installed"; exit 77; }
wayland_setup "$probe" "$module"
install -m 755 "$(dirname "$0")/mutter-keys.py" "$work/"
private_dir run

# Inside the session's own D-Bus: mutter, then one probe per case. Each line
# of cases is NAME PROBE-OPTION KEYS ("-": none, the probe waits for the
# compositor's answer; evdev codes: 125 Super, 56 Alt, 15 Tab, 35 H).
cat >"$work/session.sh" <<'EOS'
dir=$1
mutter --headless --wayland --no-x11 --virtual-monitor 1024x768 >"$dir/mutter.log" 2>&1 &
mutter_pid=$!
trap 'kill $mutter_pid 2>/dev/null; wait $mutter_pid 2>/dev/null' EXIT
for _ in $(seq 200); do
    [ -S "$dir/wayland-0" ] && break
    kill -0 $mutter_pid 2>/dev/null || break
    sleep 0.05
done
[ -S "$dir/wayland-0" ] || { echo "mutter did not start: $(tail -n1 "$dir/mutter.log")"; exit 77; }
while read -r name option keys; do
    [ "$option" = - ] && option=
    # The typist session keeps a keyboard in the seat; the probe's typist
    # only tells it to type.
    WAYLAND_DISPLAY=wayland-0 QT_QPA_PLATFORM=wayland LD_LIBRARY_PATH="$dir/.." \
        timeout 30 "$dir/../probe" $option /usr/bin/python3 "$dir/../mutter-keys.py" "$dir/$name.pid" $keys \
        -- sh -c "kill -USR1 \$(cat '$dir/$name.pid') && sleep 0.5" >"$dir/$name.out" 2>"$dir/$name.err" ||
        { echo "$name: the probe failed: $(cat "$dir/$name.err")"; exit 1; }
done <<'EOC'
first --at-once +125 +15 -15 -125
superh - +125 +35 -35 -125
alttab - +56 +15 -15 -56
EOC
EOS

"${as_user[@]}" env -i PATH="$PATH" HOME="$work/run" XDG_RUNTIME_DIR="$work/run" \
    GSETTINGS_BACKEND=memory GIO_USE_VFS=local timeout 100 dbus-run-session -- bash "$work/session.sh" "$work/run" \
    >"$work/session.log" 2>&1 &
session_pid=$!
status=0
wait "$session_pid" || status=$?
session_pid=
if [ "$status" -eq 77 ]; then
    echo "SKIP: $(grep 'did not start' "$work/session.log")"
    exit 77
fi
fail() {
    echo "FAIL: $*" >&2
    sed 's/^/  session: /' "$work/session.log" >&2
    grep -v CRITICAL "$work/run/mutter.log" | sed 's/^/  mutter: /' >&2
    exit 1
}
[ "$status" -eq 0 ] || fail "the session failed"
check() { # NAME EXPECTED WHAT
    local got
    got=$(cat "$work/run/$1.out")
    echo "$1: $got"
    [ "$got" = "$2" ] || fail "$3"
}
check first "state=Active text=L_Wnd+Tab key=08:0009 told=0 names=,,,,," \
    "Super+Tab typed right after the click should be captured whole"
check superh "state=Active text=L_Wnd+H key=08:0048 told=0 names=,,,,," "Super+H should be captured"
check alttab "state=Active text=Alt+Tab key=04:0009 told=0 names=,,,,," "Alt+Tab should be captured"
echo PASS
