#!/usr/bin/env bash
# The real program with its real receiver library (hidapi, libudev) on a
# virtual X server, driven with X input, against a receiver emulated at the
# kernel boundary: choose RV-80, Config, capture Ctrl+F5 in the first key
# field, OK, and check the bytes that reached the receiver's vendor node.
# Then once more as an ordinary user whom the receiver's nodes do not let in:
# Config tells so in a message box and the receiver hears nothing.
#
#   e2e-real-receiver.sh BUILD_DIR HOST ARTIFACT_DIR
set -euo pipefail
build=$1
host=$2
artifacts=$3
program=$build/app/tavrolin

. "$(dirname "${BASH_SOURCE[0]}")/x11-helpers.sh"
require_tools Xvfb xdotool import

. "$(dirname "${BASH_SOURCE[0]}")/xvfb-session.sh"
mkdir -p "$artifacts"
rm -f "$artifacts"/*.png
device_log=$work/receiver.log
fail_logs=("receiver=$device_log")

# The receiver keeps its keyboard interface first, as a real one does.
LD_LIBRARY_PATH=$build/atusbhid/hidapi XDG_RUNTIME_DIR=$work \
    "$host" --model RV-80 --log "$device_log" -- "$program" >"$work/app.log" 2>&1 &
app_pid=$!

# The host rewrites its log every 50 ms; a busy machine may take longer.
wait_for_log() { # LINE
    for _ in $(seq 100); do
        grep -qx "$1" "$device_log" 2>/dev/null && return 0
        sleep 0.05
    done
    return 1
}

wait_for_windows 1
main=$(newest)
sleep 0.3
xdotool windowfocus --sync "$main"

# RV-80, then Config (its face reads OK).
choose_rv80 "$main"
click "$main" 62 290
wait_for_windows 2
config=$(newest_other "$main")
sleep 0.5
shoot "$config" 01-config-real-receiver
wait_for_log 'write 00 FC 00 00 00 00 00 00 00' ||
    fail "the read request did not reach the receiver's vendor node"
xdotool windowfocus --sync "$config"

click "$config" 82 68
press_ctrl_f5
shoot "$config" 02-config-captured

click "$config" 70 292
wait_for_windows 3
box=$(newest_other "$main" "$config")
sleep 0.2
shoot "$box" 03-message-completed
xdotool windowfocus --sync "$box"
xdotool key Return
wait_for_windows 2
wait_for_log 'write 00 FE 00 00 00 00 00 00 00' || fail "no commit reached the receiver"
wait_for_log 'slot 1 01:3E' || true

cat "$device_log"
# Seven write-key requests, slot 1 with Ctrl+F5 over its factory code, the
# other slots with the keys they had, then the commit.
writes=$(grep '^write 00 FF 07' "$device_log" || true)
[ "$(echo "$writes" | grep -c .)" -eq 7 ] || fail "expected 7 write-key requests"
echo "$writes" | head -n1 | grep -qx 'write 00 FF 07 01 37 01 3E 00 00' ||
    fail "slot 1 was not written as Ctrl+F5"
echo "$writes" | sed -n 2p | grep -qx 'write 00 FF 07 02 51 00 51 00 00' ||
    fail "slot 2 was not written with its key"
# The commit, then the read request that checks what the receiver kept.
tail_writes=$(grep '^write' "$device_log" | tail -n2 | tr '\n' '/')
[ "$tail_writes" = 'write 00 FE 00 00 00 00 00 00 00/write 00 FC 00 00 00 00 00 00 00/' ] ||
    fail "no commit and read-back after the keys"
grep -qx 'slot 1 01:3E' "$device_log" || fail "the receiver does not hold Ctrl+F5 in slot 1"
grep -qx 'slot 2 00:51' "$device_log" || fail "slot 2 of the receiver changed"

# BACK, then EXIT: the program and the receiver's host end cleanly.
click "$config" 354 294
wait_for_windows 1
click "$main" 354 290
expect_clean_exit

# Root may open any node: the receiver's host and the program run as nobody.
as_user=()
if [ "$(id -u)" -eq 0 ]; then
    as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups --)
fi
# A home and runtime directory of its own, so that nothing it leaves stays.
user_dir=$(mktemp -d "/tmp/tavrolin-e2e-user.XXXXXX")
trap 'rm -rf "$user_dir"; cleanup' EXIT
mkdir -m 700 "$user_dir/home" "$user_dir/runtime"
[ "${#as_user[@]}" -gt 0 ] && chown -R 65534:65534 "$user_dir"
chmod 755 "$user_dir"
device_log=$user_dir/receiver.log
fail_logs=("receiver=$device_log")
"${as_user[@]}" env LD_LIBRARY_PATH="$build/atusbhid/hidapi" HOME="$user_dir/home" \
    XDG_RUNTIME_DIR="$user_dir/runtime" \
    "$host" --deny-access --model RV-80 --log "$device_log" -- "$program" \
    >"$work/app.log" 2>&1 &
app_pid=$!
wait_for_windows 1
main=$(newest)
sleep 0.3
xdotool windowfocus --sync "$main"
click "$main" 62 290
# The dialog ends during its opening; only its message box is left.
wait_for_windows 2
box=$(newest_other "$main")
sleep 0.2
shoot "$box" 04-message-no-permission
xdotool windowfocus --sync "$box"
xdotool key Return
wait_for_windows 1
if grep -q '^write' "$device_log"; then fail "a request reached a receiver that may not be opened"; fi
click "$main" 354 290
expect_clean_exit "(as an ordinary user)"
echo "PASS; pictures in $artifacts"
