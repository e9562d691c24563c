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
"$simulator/tavrolin-simulator" model RV-80 >/dev/null

# Median wall time of one start-to-exit, in microseconds.
median() { # COMMAND...
    local times=() start end
    for _ in $(seq "$runs"); do
        start=$(date +%s%N)
        "$@" >/dev/null 2>&1
        end=$(date +%s%N)
        times+=($(((end - start) / 1000)))
    done
    printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p"
}

LD_LIBRARY_PATH=$simulator "$ctl" show >/dev/null # warm the page cache
true_us=$(median /bin/true)
show_us=$(LD_LIBRARY_PATH=$simulator median "$ctl" show)
awk -v t="$true_us" -v s="$show_us" -v n="$runs" 'BEGIN {
    printf "runs: %d (median)\n/bin/true:        %.2f ms\ntavrolinctl show: %.2f ms (%.1f x /bin/true; target 50 ms)\n",
           n, t / 1000, s / 1000, s / t }'
