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

now_ms() { echo $(($(date +%s%N) / 1000000)); }

# measure PROGRAM CLASS SCALE: one start; sets m_time (ms to the window
# mapped), m_cpu (ms), m_rss and m_hwm (KiB).
measure() {
    local prog=$1 class=$2 scale=$3 start ticks
    start=$(now_ms)
    QT_SCALE_FACTOR=$scale "$prog" >/dev/null 2>&1 &
    app_pid=$!
    until xdotool search --onlyvisible --classname "^$class\$" >/dev/null 2>&1; do
        sleep 0.002
        [ $(($(now_ms) - start)) -lt 10000 ] || { echo "$prog: no window after 10 s" >&2; exit 1; }
    done
    m_time=$(($(now_ms) - start))
    # CPU time of all its threads until then, in 0.1 ms (the scheduler's
    # count in ns; user and system ticks are 10 ms): less affected by other
    # load on the machine than the wall time.
    m_cpu=$(cat /proc/"$app_pid"/task/*/schedstat 2>/dev/null | awk '{ns += $1} END {print int(ns / 100000)}')
    sleep 0.5
    m_rss=$(awk '/^VmRSS/ {print $2}' "/proc/$app_pid/status")
    m_hwm=$(awk '/^VmHWM/ {print $2}' "/proc/$app_pid/status")
    kill "$app_pid"
    wait "$app_pid" 2>/dev/null || true
    app_pid=
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
                bare) measure "$bare" tavrolin-bare-dialog "$scale" ;;
                tavrolin) measure "$program" tavrolin "$scale" ;;
                other) measure "$other" tavrolin "$scale" ;;
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
            time) label="Start to window mapped (ms)" ;;
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
