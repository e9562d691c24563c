# Sourced by the scripts that run a key field on a headless Wayland compositor.
# wayland_setup PROBE MODULE TOOL...: skips unless the tools are there; makes
# $work (removed on exit, after the script's cleanup_compositor); as root, sets
# as_user to run as the test's own system user, since compositors refuse root;
# copies the probe and the Wayland module there (the build may be closed to
# that user), where LD_LIBRARY_PATH="$work" finds the module.
wayland_setup() {
    local tool
    for tool in setpriv timeout "${@:3}"; do
        command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
    done
    work=$(mktemp -d)
    chmod 755 "$work"
    trap 'cleanup_compositor || true; rm -rf "$work"' EXIT
    user=$(id -un)
    as_user=()
    if [ "$(id -u)" -eq 0 ]; then
        user=tavrolin-wltest
        id -u "$user" >/dev/null 2>&1 ||
            useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$user"
        as_user=(setpriv --reuid="$user" --regid="$user" --init-groups)
    fi
    install -m 755 "$1" "$work/probe"
    install -m 644 "$2" "$work/"
}
skip() {
    echo "SKIP: $*"
    exit 77
}
# need_shm COMPOSITOR: compositors hand each client its keymap in shared
# memory; without a usable /dev/shm (none, or not a tmpfs, in a bare chroot)
# no key reaches any window.
need_shm() {
    "${as_user[@]}" sh -c 'f=$(mktemp -p /dev/shm) && rm -f "$f"' >/dev/null 2>&1 ||
        skip "$user cannot create shared memory files in /dev/shm, which $1 needs"
}
# stop_group PID: a timeout started in the background, which leads a process
# group of its own, and everything it started.
stop_group() {
    [ -n "$1" ] || return 0
    kill -- "-$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
}
private_dir() { mkdir -m 700 "$work/$1" && chown "$user" "$work/$1"; } # NAME
