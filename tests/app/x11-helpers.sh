# Sourced by the scripts that drive the real program with X input. Defines
# functions only: it is sourced before xvfb-session.sh so that a missing tool
# skips the test before any server is started. The functions read `work`,
# `app_pid` and `artifacts` when they are called, not when they are defined.

require_tools() { # TOOL...: skip the test (exit 77) unless all are installed
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
    done
}
require_pyatspi() {
    /usr/bin/python3 -c 'import pyatspi' 2>/dev/null ||
        { echo "SKIP: python3-pyatspi is not installed"; exit 77; }
}

# More logs to show on failure, as LABEL=FILE; the program's own log always is.
fail_logs=()
fail() {
    echo "FAIL: $*" >&2
    local entry
    for entry in "program=$work/app.log" "${fail_logs[@]}"; do
        [ -f "${entry#*=}" ] && sed "s/^/  ${entry%%=*}: /" "${entry#*=}" >&2
    done
    exit 1
}

# The program's visible top-level windows, oldest first. Only the main window
# has a title of its own, so they are found by their class.
windows() { xdotool search --onlyvisible --classname '^tavrolin$' 2>/dev/null | sort -n; }
wait_for_windows() { # COUNT
    for _ in $(seq 100); do
        [ "$(windows | wc -l)" -eq "$1" ] && return 0
        kill -0 "$app_pid" 2>/dev/null || fail "the program ended"
        sleep 0.05
    done
    fail "expected $1 window(s), found $(windows | wc -l)"
}
newest() { windows | tail -n1; }
newest_other() { # WINDOW...: the newest window that is none of these
    local skip=() window
    for window in "$@"; do skip+=(-e "$window"); done
    windows | grep -vx "${skip[@]}" | tail -n1
}
click() { # WINDOW X Y
    xdotool mousemove --window "$1" "$2" "$3" click 1
    sleep 0.3
}
shoot() { # WINDOW NAME
    import -window "$1" "$artifacts/$2.png"
}
# Ctrl+F5 held the way a person presses it.
press_ctrl_f5() {
    xdotool keydown ctrl
    sleep 0.15
    xdotool keydown F5
    sleep 0.15
    xdotool keyup F5
    sleep 0.15
    xdotool keyup ctrl
    sleep 0.2
}
# The model list of the main window: open it, go down three entries to RV-80,
# take it.
choose_rv80() { # MAIN
    click "$1" 90 106
    xdotool key --delay 80 Down Down Down Return
    sleep 0.3
}
# After EXIT was pressed: the program ends within 5 s, with status 0.
expect_clean_exit() { # [WHAT TO ADD TO THE MESSAGE]
    for _ in $(seq 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.05; done
    kill -0 "$app_pid" 2>/dev/null && fail "EXIT did not end the program"
    local status=0
    wait "$app_pid" || status=$?
    app_pid=
    [ "$status" -eq 0 ] || fail "the program ended with status $status${1:+ $1}"
}
