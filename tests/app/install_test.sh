#!/usr/bin/env bash
# Installs the build into a temporary prefix, checks what lands where and
# that the installed program finds its receiver library through its RUNPATH,
# then uninstalls and checks that nothing is left. Then the same through
# DESTDIR: the uninstall removes the staged files, never those at the prefix,
# and directories that were there before the install stay.
#
#   install_test.sh BUILD_DIR SOURCE_DIR RUNPATH_PROBE
set -euo pipefail
build=$1
source=$2
probe=$3
work=$(mktemp -d)
saved=$work/saved
mkdir -p "$saved"
# The test must not disturb a real install's record in the build directory.
records=(install_manifest.txt install_record.txt)
for f in "${records[@]}"; do
    [ -f "$build/$f" ] && cp "$build/$f" "$saved/$f"
done
xvfb_pid=
app_pid=
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    for f in "${records[@]}"; do
        rm -f "$build/$f"
        [ -f "$saved/$f" ] && cp "$saved/$f" "$build/$f"
    done
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log" || {
    cat "$work/install.log"
    fail "install failed"
}
libdir=$(sed -n 's/^CMAKE_INSTALL_LIBDIR:PATH=//p' "$build/CMakeCache.txt")
libdir=${libdir:-lib}
udevdir=$(sed -n 's/^TAVROLIN_UDEV_RULES_DIR:STRING=//p' "$build/CMakeCache.txt")
case "$udevdir" in /*) rules=$prefix$udevdir ;; *) rules=$prefix/$udevdir ;; esac

expect=(
    "$prefix/bin/tavrolin"
    "$prefix/bin/tavrolinctl"
    "$prefix/share/man/man1/tavrolin.1"
    "$prefix/share/man/man1/tavrolinctl.1"
    "$prefix/share/bash-completion/completions/tavrolinctl"
    "$prefix/$libdir/tavrolin/libAtUsbHid.so"
    "$prefix/$libdir/tavrolin/libtavrolin-wayland.so"
    "$prefix/share/applications/org.example.Tavrolin.desktop"
    "$prefix/share/metainfo/org.example.Tavrolin.metainfo.xml"
    "$prefix/share/icons/hicolor/scalable/apps/tavrolin.svg"
    "$rules/70-tavrolin.rules"
)
# Each size under its own name, and each the size its folder says.
for size in 16 24 32 48 64 128 256; do
    icon=$prefix/share/icons/hicolor/${size}x${size}/apps/tavrolin.png
    expect+=("$icon")
    [ -f "$icon" ] && { file -b "$icon" | grep -q "PNG image data, $size x $size," ||
        fail "${icon#$prefix/} is $(file -b "$icon")"; }
done
for f in "${expect[@]}"; do
    [ -f "$f" ] || fail "not installed: ${f#$prefix/}"
done
[ -x "$prefix/bin/tavrolin" ] || fail "bin/tavrolin is not executable"
readelf -d "$prefix/bin/tavrolin" | grep -iE 'NEEDED.*wayland' && fail "bin/tavrolin links Wayland libraries"

# The desktop entry starts the installed program by name and names the icon
# that was installed.
grep -qx 'Exec=tavrolin' "$prefix/share/applications/org.example.Tavrolin.desktop" ||
    fail "desktop entry does not run tavrolin"
grep -qx 'Icon=tavrolin' "$prefix/share/applications/org.example.Tavrolin.desktop" ||
    fail "desktop entry names another icon"
grep -q '<modalias>usb:v0EBCp2501\*</modalias>' \
    "$prefix/share/metainfo/org.example.Tavrolin.metainfo.xml" || fail "metainfo lacks the modalias"
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$prefix/share/metainfo/org.example.Tavrolin.metainfo.xml" \
        >"$work/validate.log" 2>&1 || { cat "$work/validate.log"; fail "metainfo does not validate"; }
fi
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$prefix/share/applications/org.example.Tavrolin.desktop" ||
        fail "desktop entry does not validate"
fi

# The udev rule: the receiver's hidraw node only, for the user at the seat,
# never world-writable, and early enough for the seat rules to act on it.
rule=$(grep -v '^#' "$rules/70-tavrolin.rules" | grep -v '^$')
[ "$(echo "$rule" | wc -l)" -eq 1 ] || fail "the udev rule file holds more than one rule"
for part in 'KERNEL=="hidraw*"' 'SUBSYSTEMS=="usb"' 'ATTRS{idVendor}=="0ebc"' \
    'ATTRS{idProduct}=="2501"' 'TAG+="uaccess"'; do
    grep -qF "$part" <<<"$rule" || fail "the udev rule lacks $part"
done
grep -q 'MODE' <<<"$rule" && fail "the udev rule sets a MODE"
[ "$(basename "$rules/70-tavrolin.rules" | cut -c1-2)" -lt 73 ] || fail "rule sorts after 73-seat-late"

# RUNPATH, not RPATH, so LD_LIBRARY_PATH still wins; relative to the program.
for program in tavrolin tavrolinctl; do
    dynamic=$(readelf -d "$prefix/bin/$program")
    grep -q 'RUNPATH.*\[\$ORIGIN/\.\./'"$libdir"'/tavrolin\]' <<<"$dynamic" ||
        { echo "$dynamic" | grep -E 'RPATH|RUNPATH'; fail "bin/$program has not the expected RUNPATH"; }
    grep -q '(RPATH)' <<<"$dynamic" && fail "bin/$program carries an RPATH"
done
# An empty entry would make the loader search the current directory.
readelf -d "$build/app/tavrolin" | grep -E 'RUNPATH.*\[(:|.*::|.*:\])' &&
    fail "the program in the build tree searches the current directory for libraries"

# The program loads its library by plain name at run time, as this probe does
# from the same place with the same RUNPATH: it must get the installed one.
cp "$probe" "$prefix/bin/runpath-probe"
loaded=$(env -u LD_LIBRARY_PATH "$prefix/bin/runpath-probe") || fail "the probe found no library"
[ "$loaded" = "$(realpath "$prefix/$libdir/tavrolin/libAtUsbHid.so")" ] ||
    fail "libAtUsbHid.so came from $loaded"
loaded=$(env -u LD_LIBRARY_PATH "$prefix/bin/runpath-probe" libtavrolin-wayland.so) || fail "no Wayland module"
[ "$loaded" = "$(realpath "$prefix/$libdir/tavrolin/libtavrolin-wayland.so")" ] ||
    fail "libtavrolin-wayland.so came from $loaded"
rm "$prefix/bin/runpath-probe"

# The installed command line finds the installed library: with no receiver
# there it says so (status 2) rather than that the library is missing.
status=0
env -u LD_LIBRARY_PATH "$prefix/bin/tavrolinctl" show >"$work/ctl.log" 2>&1 || status=$?
grep -q 'could not be loaded' "$work/ctl.log" && { cat "$work/ctl.log"; fail "tavrolinctl found no library"; }
[ "$status" -eq 2 ] || [ "$status" -eq 0 ] || { cat "$work/ctl.log"; fail "tavrolinctl show ended with $status"; }

# The installed program starts (it runs until the timeout ends it).
status=0
env -u LD_LIBRARY_PATH QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$work \
    timeout 3 "$prefix/bin/tavrolin" >"$work/run.log" 2>&1 || status=$?
[ "$status" -eq 124 ] || { cat "$work/run.log"; fail "installed program ended with $status"; }

# The desktop entry names the class of the program's real window, so that
# docks and task bars put the window under the menu entry's icon.
if command -v Xvfb >/dev/null && command -v xprop >/dev/null && command -v xdotool >/dev/null; then
    Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
    xvfb_pid=$!
    for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
    [ -s "$work/display" ] || fail "Xvfb did not start"
    display=:$(head -n1 "$work/display")
    env -u LD_LIBRARY_PATH -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY DISPLAY=$display \
        XDG_RUNTIME_DIR=$work "$prefix/bin/tavrolin" >"$work/run.log" 2>&1 &
    app_pid=$!
    window=
    for _ in $(seq 200); do
        window=$(DISPLAY=$display xdotool search --onlyvisible --name '^Tavrolin$' 2>/dev/null | head -n1 || true)
        [ -n "$window" ] && break
        sleep 0.05
    done
    [ -n "$window" ] || { cat "$work/run.log"; fail "the installed program showed no window"; }
    class=$(DISPLAY=$display xprop -id "$window" WM_CLASS | sed -n 's/.*= "[^"]*", "\([^"]*\)"$/\1/p')
    wmclass=$(sed -n 's/^StartupWMClass=//p' "$prefix/share/applications/org.example.Tavrolin.desktop")
    [ -n "$class" ] && [ "$class" = "$wmclass" ] ||
        fail "the window's class is '$class', the desktop entry names '$wmclass'"
    kill "$app_pid" "$xvfb_pid"
    wait "$app_pid" "$xvfb_pid" 2>/dev/null || true
    app_pid= xvfb_pid=
fi

# Uninstall: everything goes, and no empty directories stay behind.
cmake -P "$build/packaging/Uninstall.cmake" >"$work/uninstall.log" ||
    { cat "$work/uninstall.log"; fail "uninstall failed"; }
if [ -d "$prefix" ]; then
    left=$(find "$prefix" -mindepth 1)
    [ -z "$left" ] || { echo "$left"; fail "uninstall left files behind"; }
fi

# Staged: DESTDIR plus a prefix where a file of the same name already lives and
# a directory the install shares stands empty. The uninstall removes the staged
# copy only, and leaves the directories that were there before.
stage=$work/stage
real=$work/real
mkdir -p "$real/bin" "$stage$real/share/applications"
echo "not ours" >"$real/bin/tavrolin"
DESTDIR=$stage cmake --install "$build" --prefix "$real" >"$work/install.log" ||
    { cat "$work/install.log"; fail "DESTDIR install failed"; }
[ -x "$stage$real/bin/tavrolin" ] || fail "DESTDIR install put no program under DESTDIR"
[ "$(cat "$real/bin/tavrolin")" = "not ours" ] || fail "DESTDIR install wrote at the real prefix"
cmake -P "$build/packaging/Uninstall.cmake" >"$work/uninstall.log" ||
    { cat "$work/uninstall.log"; fail "uninstall after a DESTDIR install failed"; }
[ "$(cat "$real/bin/tavrolin" 2>/dev/null)" = "not ours" ] ||
    fail "uninstall after a DESTDIR install removed the file at the real prefix"
left=$(find "$stage" -mindepth 1 -not -type d)
[ -z "$left" ] || { echo "$left"; fail "uninstall left staged files behind"; }
[ -d "$stage$real/share/applications" ] || fail "uninstall removed a directory that was there before"
[ -d "$stage$real/share/metainfo" ] && fail "uninstall left a directory the install made"
[ -f "$build/install_record.txt" ] && fail "the record outlives the uninstall"
status=0
cmake -P "$build/packaging/Uninstall.cmake" >"$work/uninstall.log" 2>&1 || status=$?
[ "$status" -ne 0 ] && grep -q 'Nothing to uninstall' "$work/uninstall.log" ||
    fail "a second uninstall did not say there is nothing to uninstall"
echo PASS
