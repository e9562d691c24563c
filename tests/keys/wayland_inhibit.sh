#!/usr/bin/env bash
# A key field capturing on a real Wayland compositor (sway, headless) that
# binds Super+Tab: with the compositor granting shortcut inhibition the field
# gets L_Wnd+Tab and the binding does not fire; never granted (as while GNOME
# Shell asks the user), the binding fires, the field keeps its key and nothing
# is told. Then the key names of three layouts.
#
#   wayland_inhibit.sh PROBE MODULE
set -euo pipefail
probe=$1
module=$2

sway_pid=
probe_pid=
xvfb_pid=
cleanup_compositor() {
    stop_group "$probe_pid"
    stop_group "$sway_pid"
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
}
# shellcheck source=wayland-helpers.sh
source "$(dirname "$0")/wayland-helpers.sh"
wayland_setup "$probe" "$module" sway wtype
need_shm sway

fail() {
    echo "FAIL: $*" >&2
    for log in "$work"/*/sway.log; do sed 's/^/  sway: /' "$log" >&2; done
    exit 1
}

# run_case NAME SWAY_LINE: NAME/probe.out holds the probe's line, NAME/bound
# exists when the binding fired. One wtype only keeps a keyboard in the seat
# (holder); the other types Super down, Tab, Super up, as a keyboard does.
backend=(WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1)
holder=(wtype -s 60000)
typing=(wtype -M logo -P Super_L -k Tab -p Super_L -m logo)
run_case() {
    local dir=$work/$1
    private_dir "$1"
    printf 'bindsym Mod4+Tab exec touch %s/bound\n%s\n' "$dir" "$2" >"$dir/sway.conf"
    # Each command execs the next, so that $! is the compositor's timeout,
    # which passes a kill on to it.
    "${as_user[@]}" env -i PATH="$PATH" XDG_RUNTIME_DIR="$dir" "${backend[@]}" WLR_RENDERER=pixman \
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
    # Under a timeout of its own, which leads a process group: stopping the
    # group also ends the holder's wtype, which would sleep on for a minute.
    "${as_user[@]}" env -i PATH="$PATH" XDG_RUNTIME_DIR="$dir" WAYLAND_DISPLAY="$socket" \
        QT_QPA_PLATFORM=wayland LD_LIBRARY_PATH="$work" timeout 30 "$work/probe" \
        "${holder[@]}" -- "${typing[@]}" >"$dir/probe.out" 2>"$dir/probe.err" &
    probe_pid=$!
    wait "$probe_pid" || { sed 's/^/  probe: /' "$dir/probe.err" >&2; fail "$1: the probe failed"; }
    stop_group "$probe_pid"
    probe_pid=
    sleep 0.3 # the binding's command runs on its own
    stop_group "$sway_pid"
    sway_pid=
}

run_case granted ""
granted=$(cat "$work/granted/probe.out")
echo "granted: $granted"
[ "$granted" = "state=Active text=L_Wnd+Tab key=08:0009 told=0 names=,,,,," ] ||
    fail "with inhibition granted the field should hold L_Wnd+Tab"
[ ! -e "$work/granted/bound" ] || fail "the compositor's Super+Tab fired while the field captured"

run_case refused "seat * shortcuts_inhibitor disable"
refused=$(cat "$work/refused/probe.out")
echo "refused: $refused"
[ -e "$work/refused/bound" ] || fail "the compositor should have taken Super+Tab"
[ "$refused" = "state=Pending text=Ctrl+D key=01:0044 told=0 names=,,,,," ] ||
    fail "with no answer yet the field should keep its key and tell nothing"

# Keys named by the compositor's keymap as on X11: sway nested in Xvfb, whose
# keyboard takes sway's layout (wtype would bring a keymap of its own).
command -v Xvfb >/dev/null || { echo "PASS (layouts not checked: Xvfb is not installed)"; exit 0; }
display=:$((100 + $$ % 800))
Xvfb "$display" -screen 0 640x480x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -S "/tmp/.X11-unix/X${display#:}" ] || sleep 0.05; done
backend=(WLR_BACKENDS=x11 DISPLAY="$display")
holder=(sleep 60)
typing=(true)
for expected in "de Z,Ü,,,,Y" "fr ,^,&,É,A,W" "ru Н,Х,,,Й,Я"; do
    run_case "${expected%% *}" "input * xkb_layout ${expected%% *}"
    names=$(sed 's/.* names=//' "$work/${expected%% *}/probe.out")
    echo "${expected%% *}: $names"
    [ "$names" = "${expected#* }" ] || fail "the ${expected%% *} layout's keys should be named ${expected#* }"
done
echo PASS
