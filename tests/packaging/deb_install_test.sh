#!/usr/bin/env bash
# Builds the .deb from a build directory, installs it with dpkg into a
# scratch root, and starts the installed programs from there.
#   deb_install_test.sh BUILD_DIR QT_MAJOR
set -euo pipefail

build="$1"
qt_major="$2"
work="$(mktemp -d)"
trap 'kill "${app:-}" 2>/dev/null || true; rm -rf "$work"' EXIT

(cd "$build" && cpack -G DEB -B "$work/out" >/dev/null)
deb="$(ls "$work"/out/vev-config_*.deb)"
echo "built $(basename "$deb")"

# The dependencies are computed from the binaries, not written by hand.
depends="$(dpkg-deb -f "$deb" Depends)"
echo "Depends: $depends"
for lib in "libqt${qt_major}serialport${qt_major}" "libc6"; do
    grep -q "$lib" <<<"$depends" || { echo "FAIL: Depends lacks $lib" >&2; exit 1; }
done

# A scratch root with an empty dpkg database. The shared libraries come from
# the host: they are not installed in the scratch root, hence --force-depends.
root="$work/root"
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers"
touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
dpkg --root="$root" --force-depends --force-script-chrootless --log=/dev/null -i "$deb" >/dev/null
dpkg --root="$root" -s vev-config | grep -q "^Status: install ok installed"

for f in usr/bin/vev-config usr/bin/vev-cli usr/bin/vev-sim \
         usr/share/applications/com.telvor.VevConfig.desktop \
         usr/share/metainfo/com.telvor.VevConfig.metainfo.xml \
         usr/share/icons/hicolor/256x256/apps/com.telvor.VevConfig.png; do
    [[ -e "$root/$f" ]] || { echo "FAIL: $f not installed" >&2; exit 1; }
done

# The installed window starts and keeps running (an offscreen platform, from
# a directory without icon.png).
cd "$work"
QT_QPA_PLATFORM=offscreen "$root/usr/bin/vev-config" >"$work/app.log" 2>&1 &
app=$!
sleep 2
if ! kill -0 "$app" 2>/dev/null; then
    echo "FAIL: the installed vev-config exited early:" >&2
    cat "$work/app.log" >&2
    exit 1
fi
kill "$app"
wait "$app" 2>/dev/null || true

"$root/usr/bin/vev-cli" --help | grep -q "Exit codes"
"$root/usr/bin/vev-sim" --help | grep -q -- "--hangup-after"
echo "installed into a scratch root and started: ok"
