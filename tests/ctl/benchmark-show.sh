#!/bin/bash
# Not a test: how long 'tavrolinctl show' takes against the simulated
# receiver, process start to exit, beside /bin/true started the same way.
# Usage: tests/ctl/benchmark-show.sh [build dir] [runs]
set -euo pipefail
build=$(realpath "${1:-build}")
runs=${2:-50}
ctl=$build/ctl/tavrolinctl
simulator=$build/atusbhid/simulator
[ -x "$ctl" ] || { echo "no tavrolinctl at $ctl; build first" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TAVROLIN_SIMULATOR_STATE=$work/receiver.state
"$simulator/tavrolin-simulator" model RV-80 >/dev/null 2>&1

# Median wall time of one start-to-exit, in microseconds. The clock is the
# shell's own, so that no other process is timed with it.
median() { # COMMAND...
    local times=() start end t
    for _ in $(seq "$runs"); do
        t=${EPOCHREALTIME/[.,]/}
        start=$((10#$t))
        "$@" >/dev/null 2>&1
        t=${EPOCHREALTIME/[.,]/}
        end=$((10#$t))
        times+=($((end - start)))
    done
    printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p"
}

LD_LIBRARY_PATH=$simulator "$ctl" show >/dev/null # warm the page cache
true_us=$(median /bin/true)
show_us=$(LD_LIBRARY_PATH=$simulator median "$ctl" show)
# CPU time (user + system) per run, which a busy machine does not inflate.
cpu_ms() { # COMMAND...
    local TIMEFORMAT='%3U %3S' out
    out=$({ time (for _ in $(seq "$runs"); do "$@" >/dev/null 2>&1; done); } 2>&1)
    awk -v n="$runs" '{ printf "%.2f", ($1 + $2) * 1000 / n }' <<<"$out"
}
true_cpu=$(cpu_ms /bin/true)
show_cpu=$(LD_LIBRARY_PATH=$simulator cpu_ms "$ctl" show)
echo "cpu per run: /bin/true $true_cpu ms, tavrolinctl show $show_cpu ms"
awk -v t="$true_us" -v s="$show_us" -v n="$runs" 'BEGIN {
    printf "runs: %d (median)\n/bin/true:        %.2f ms\ntavrolinctl show: %.2f ms (%.1f x /bin/true; target 50 ms)\n",
           n, t / 1000, s / 1000, s / t }'
