#!/usr/bin/env bash
# Start-up benchmark: time from starting the built program to its main window
# being mapped on a virtual X server, and the program's resident memory once
# the window is up. Not a test; prints figures.
#
#   benchmark-startup.sh [BUILD_DIR] [RUNS]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${1:-$root/build}
runs=${2:-10}
program=$build/app/tavrolin
[ -x "$program" ] || { echo "no program at $program; build first" >&2; exit 1; }

. "$root/tests/app/xvfb-session.sh"
export XDG_RUNTIME_DIR=$work TAVROLIN_SIMULATOR_STATE=$work/receiver.state
export LD_LIBRARY_PATH=$build/atusbhid/simulator

now_ms() { echo $(($(date +%s%N) / 1000000)); }
mapped() { xdotool search --onlyvisible --classname '^tavrolin$' >/dev/null 2>&1; }

times=()
cpu=()
rss=()
hwm=()
for i in $(seq 0 "$runs"); do
    start=$(now_ms)
    "$program" >/dev/null 2>&1 &
    app_pid=$!
    until mapped; do
        sleep 0.002
        [ $(($(now_ms) - start)) -lt 10000 ] || { echo "no window after 10 s" >&2; exit 1; }
    done
    shown=$(($(now_ms) - start))
    # CPU time the program used until then (user + system), in ms; less
    # affected by other load on the machine than the wall time.
    ticks=$(awk '{print $14 + $15}' "/proc/$app_pid/stat")
    cpu+=($((ticks * 1000 / $(getconf CLK_TCK))))
    sleep 0.5
    r=$(awk '/^VmRSS/ {print $2}' "/proc/$app_pid/status")
    h=$(awk '/^VmHWM/ {print $2}' "/proc/$app_pid/status")
    kill "$app_pid"
    wait "$app_pid" 2>/dev/null || true
    app_pid=
    # The first run fills the file cache; it is not counted.
    [ "$i" -eq 0 ] && { cpu=(); continue; }
    times+=("$shown")
    rss+=("$r")
    hwm+=("$h")
done

stats() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {printf "median %d, min %d, max %d", a[int((NR+1)/2)], a[1], a[NR]}'; }
echo "Runs: $runs (after one warm-up run), display $DISPLAY"
echo "Start to main window mapped (ms):  $(stats "${times[@]}")"
echo "CPU time used until then (ms):      $(stats "${cpu[@]}")"
echo "Resident memory, window up (KiB):  $(stats "${rss[@]}")"
echo "Peak resident memory (KiB):        $(stats "${hwm[@]}")"
