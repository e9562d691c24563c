# Sourced by the scripts that run a key field on a headless Wayland
# compositor. Compositors refuse to run as root (or should not): as root the
# compositor and its clients run as the test's own system user.
#
# wayland_setup PROBE MODULE: makes $work (removed on exit, after the
# function cleanup_compositor the script defines), sets $user and the command
# prefix as_user, and copies the probe and the Wayland module there, since the
# build folder may be closed to that user.
wayland_setup() {
    local tool
    for tool in setpriv timeout "${required_tools[@]}"; do
        command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
    done
    work=$(mktemp -d)
    chmod 755 "$work"
    trap 'cleanup_compositor || true; rm -rf "$work"' EXIT
    if [ "$(id -u)" -eq 0 ]; then
        user=tavrolin-wltest
        id -u "$user" >/dev/null 2>&1 ||
            useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$user"
        as_user=(setpriv --reuid="$user" --regid="$user" --init-groups)
    else
        user=$(id -un)
        as_user=()
    fi
    install -m 755 "$1" "$work/probe"
    # The probe finds the module by plain name; beside it, through this.
    install -m 644 "$2" "$work/"
}

# private_dir NAME: a directory only the test's user may enter.
private_dir() {
    mkdir -m 700 "$work/$1"
    chown "$user" "$work/$1"
}
