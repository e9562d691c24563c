# Sourced by the scripts that run the real program on a virtual X server.
# Sets `work` (a scratch folder, removed on exit), starts Xvfb on a display it
# picks itself and exports DISPLAY. The sourcing script sets app_pid for the
# program it starts, so that an early exit stops it too.
work=$(mktemp -d)
xvfb_pid=
app_pid=
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# -noreset: the server would otherwise reset whenever its last client leaves,
# and with it the keyboard layout that a test set with setxkbmap.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
[ -s "$work/display" ] || { echo "Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=:$(head -n1 "$work/display")
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
