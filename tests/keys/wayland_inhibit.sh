#!/usr/bin/env bash
# A key field capturing on a real Wayland compositor (sway, headless) that
# binds Super+Tab: with the compositor granting shortcut inhibition the field
# gets L_Wnd+Tab and the binding does not fire; with inhibition refused the
# binding fires, the user is told once, and the field keeps its key.
#
#   wayland_inhibit.sh PROBE
set -euo pipefail
probe=$1

for tool in sway wtype setpriv timeout; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

work=$(mktemp -d)
chmod 755 "$work"
# sway and the probe each run under a timeout, which leads a process group of
# its own: killing the group also ends what they started (the probe's wtype
# sleeps for a minute otherwise).
sway_pid=
probe_pid=
stop() { # PID: a timeout and its process group
    [ -n "$1" ] || return 0
    kill -- "-$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
}
cleanup() {
    stop "$probe_pid"
    stop "$sway_pid"
    rm -rf "$work"
}
trap cleanup EXIT
skip() {
    echo "SKIP: $*"
    exit 77
}

# sway refuses to run as root: then the compositor and its clients run as an
# ordinary user of the test's own.
if [ "$(id -u)" -eq 0 ]; then
    user=tavrolin-wltest
    id -u "$user" >/dev/null 2>&1 ||
        useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$user"
    as_user=(setpriv --reuid="$user" --regid="$user" --init-groups)
else
    user=$(id -un)
    as_user=()
fi
# The build folder may be closed to that user.
install -m 755 "$probe" "$work/probe"
# sway hands each client its keymap in shared memory (/dev/shm, e.g. missing
# or not a tmpfs in a bare chroot); without it no key reaches any window.
"${as_user[@]}" sh -c 'f=$(mktemp -p /dev/shm) && rm -f "$f"' >/dev/null 2>&1 ||
    skip "$user cannot create shared memory files in /dev/shm, which sway needs"

fail() {
    echo "FAIL: $*" >&2
    for log in "$work"/*/sway.log; do sed 's/^/  sway: /' "$log" >&2; done
    exit 1
}

# run_case NAME SWAY_LINE: NAME/probe.out holds the probe's line, NAME/bound
# exists when the binding fired.
run_case() {
    local dir=$work/$1
    mkdir -m 700 "$dir"
    chown "$user" "$dir"
    printf 'bindsym Mod4+Tab exec touch %s/bound\n%s\n' "$dir" "$2" >"$dir/sway.conf"
    # Each command execs the next, so that $! is the compositor's timeout,
    # which passes a kill on to it.
    "${as_user[@]}" env -i PATH="$PATH" XDG_RUNTIME_DIR="$dir" WLR_BACKENDS=headless \
        WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
        timeout 60 sway -c "$dir/sway.conf" >"$dir/sway.log" 2>&1 &
    sway_pid=$!
    local socket=
    for _ in $(seq 200); do
        socket=$(cd "$dir" && ls wayland-[0-9] 2>/dev/null | head -n1) || true
        [ -n "$socket" ] && break
        kill -0 "$sway_pid" 2>/dev/null || skip "sway cannot start here: $(tail -n 3 "$dir/sway.log")"
        sleep 0.05
    done
    [ -n "$socket" ] || skip "sway opened no socket: $(tail -n 3 "$dir/sway.log")"
    # One wtype only keeps a keyboard in the seat; the other types Super down,
    # Tab, Super up, as a keyboard sends them.
    "${as_user[@]}" env -i PATH="$PATH" XDG_RUNTIME_DIR="$dir" WAYLAND_DISPLAY="$socket" \
        QT_QPA_PLATFORM=wayland timeout 30 "$work/probe" \
        wtype -s 60000 -- wtype -M logo -P Super_L -k Tab -p Super_L -m logo >"$dir/probe.out" 2>"$dir/probe.err" &
    probe_pid=$!
    wait "$probe_pid" || { sed 's/^/  probe: /' "$dir/probe.err" >&2; fail "$1: the probe failed"; }
    stop "$probe_pid"
    probe_pid=
    sleep 0.3 # the binding's command runs on its own
    stop "$sway_pid"
    sway_pid=
}

run_case granted ""
granted=$(cat "$work/granted/probe.out")
echo "granted: $granted"
[ "$granted" = "state=Active text=L_Wnd+Tab key=08:0009 told=0" ] ||
    fail "with inhibition granted the field should hold L_Wnd+Tab"
[ ! -e "$work/granted/bound" ] || fail "the compositor's Super+Tab fired while the field captured"

run_case refused "seat * shortcuts_inhibitor disable"
refused=$(cat "$work/refused/probe.out")
echo "refused: $refused"
[ -e "$work/refused/bound" ] || fail "the compositor should have taken Super+Tab"
[ "$refused" = "state=Refused text=Ctrl+D key=01:0044 told=1" ] ||
    fail "with inhibition refused the field should keep its key and tell once"
echo PASS
