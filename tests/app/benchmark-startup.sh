#!/usr/bin/env bash
# Start-up benchmark: time from starting a program to its window being mapped
# on a virtual X server, CPU time used until then, and resident memory once the
# window is up. Tavrolin and a plain Qt 6 dialog of the same size and controls
# (tests/app/bare_dialog.cpp) run interleaved, so that both see the same load
# on the machine; the ratios Tavrolin / plain dialog are printed for each
# screen scale (1 and QT_SCALE_FACTOR=2, where the 2x artwork is used). With a
# second build directory its Tavrolin runs in the same rounds, for a before and
# after. Not a test; prints figures.
#
#   benchmark-startup.sh [BUILD_DIR] [RUNS] [OTHER_BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${1:-$root/build}
runs=${2:-10}
program=$build/app/tavrolin
bare=$build/tests/app/tavrolin-bare-dialog
other=${3:+$3/app/tavrolin}
names="bare tavrolin${other:+ other}"
for p in "$program" "$bare" $other; do
    [ -x "$p" ] || { echo "no program at $p; build first" >&2; exit 1; }
done

. "$root/tests/app/xvfb-session.sh"
export XDG_RUNTIME_DIR=$work TAVROLIN_SIMULATOR_STATE=$work/receiver.state
export LD_LIBRARY_PATH=$build/atusbhid/simulator
# The desktop's theme would measure the theme, not the program.
unset QT_QPA_PLATFORMTHEME QT_STYLE_OVERRIDE QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS

# One helper measures every start: it learns of the window's mapping from the X
# server's own notice (xev on the root window) rather than by asking over and
# over: on two cores a polling client took most of one, and a program that
# works on two threads lost the core its second one runs on. The CPU time is
# the whole process's, threads that already ended included (the per-thread
# counts in /proc lose those).
coproc MEASURE {
    exec python3 -uc '
import os, queue, signal, subprocess, sys, threading, time
xev = subprocess.Popen(["stdbuf", "-oL", "xev", "-root", "-event", "substructure"],
                       stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
events = queue.Queue()
threading.Thread(target=lambda: [events.put(l) for l in xev.stdout], daemon=True).start()
def kib(pid, key):
    with open(f"/proc/{pid}/status") as status:
        return next(l.split()[1] for l in status if l.startswith(key))
for request in sys.stdin:
    program, scale = request.split()
    start = time.monotonic()
    app = subprocess.Popen([program], env=dict(os.environ, QT_SCALE_FACTOR=scale),
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    while not events.get(timeout=20).startswith("MapNotify"):
        pass
    mapped = time.monotonic() - start
    cpu = time.clock_gettime((~app.pid << 3) | 2)
    time.sleep(0.5)
    rss, hwm = kib(app.pid, "VmRSS:"), kib(app.pid, "VmHWM:")
    app.send_signal(signal.SIGTERM)
    app.wait()
    # What its window left behind (unmapped, destroyed) is read before the next.
    time.sleep(0.05)
    while not events.empty():
        events.get()
    print(int(mapped * 10000), int(cpu * 10000), rss, hwm)'
}

# Gone before Xvfb is, or the exit waits for it.
trap 'kill "$MEASURE_PID" 2>/dev/null; cleanup' EXIT

# measure PROGRAM SCALE: one start; sets m_time (to the window mapped) and
# m_cpu (until then), both in 0.1 ms, and m_rss and m_hwm (KiB).
measure() {
    echo "$1 $2" >&"${MEASURE[1]}"
    read -r -t 20 m_time m_cpu m_rss m_hwm <&"${MEASURE[0]}" ||
        { echo "$1: no window after 20 s" >&2; exit 1; }
}

median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
spread() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {printf "median %d, min %d, max %d", a[int((NR+1)/2)], a[1], a[NR]}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }

echo "Runs: $runs per program and scale (after one warm-up each), interleaved, display $DISPLAY"
for scale in 1 2; do
    declare -A col=()
    for name in $names; do
        for k in time cpu rss hwm; do col[$name.$k]=""; done
    done
    for i in $(seq 0 "$runs"); do
        for name in $names; do
            case $name in
                bare) measure "$bare" "$scale" ;;
                tavrolin) measure "$program" "$scale" ;;
                other) measure "$other" "$scale" ;;
            esac
            # The first round fills the file cache; it is not counted.
            [ "$i" -eq 0 ] && continue
            col[$name.time]+=" $m_time"
            col[$name.cpu]+=" $m_cpu"
            col[$name.rss]+=" $m_rss"
            col[$name.hwm]+=" $m_hwm"
        done
    done
    echo
    echo "Scale $scale:"
    for k in time cpu rss hwm; do
        case $k in
            time) label="Start to window mapped (0.1 ms)" ;;
            cpu) label="CPU time until then (0.1 ms)" ;;
            rss) label="Resident memory, window up (KiB)" ;;
            hwm) label="Peak resident memory (KiB)" ;;
        esac
        # shellcheck disable=SC2086
        b=$(median ${col[bare.$k]})
        # shellcheck disable=SC2086
        t=$(median ${col[tavrolin.$k]})
        # shellcheck disable=SC2086
        printf '  %-34s plain Qt %s\n  %-34s Tavrolin %s\n  %-34s ratio %s\n' "$label" \
            "$(spread ${col[bare.$k]})" "" "$(spread ${col[tavrolin.$k]})" "" "$(ratio "$t" "$b")"
        [ -n "$other" ] || continue
        # shellcheck disable=SC2086
        printf '  %-34s other build %s, ratio %s\n' "" "$(spread ${col[other.$k]})" \
            "$(ratio "$(median ${col[other.$k]})" "$b")"
    done
done
