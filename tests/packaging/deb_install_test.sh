#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the .deb from a build directory, installs it with dpkg into a
# scratch root, and starts the installed programs from there.
#   deb_install_test.sh BUILD_DIR QT_MAJOR VERSION
set -euo pipefail

build="$1"
qt_major="$2"
version="$3"
work="$(mktemp -d)"
trap 'kill "${app:-}" 2>/dev/null || true; rm -rf "$work"' EXIT

(cd "$build" && cpack -G DEB -B "$work/out" >/dev/null)
deb="$(ls "$work"/out/vev-config_*.deb)"
echo "built $(basename "$deb")"

# The dependencies are computed from the binaries, not written by hand.
depends="$(dpkg-deb -f "$deb" Depends)"
echo "Depends: $depends"
# (Qt Multimedia's from the station's tones module, which vev-station loads late.)
for lib in "libqt${qt_major}serialport${qt_major}" "libqt${qt_major}multimedia${qt_major}" "libc6" "libqrencode" "libcups2" \
           "libpq5"; do
    grep -q "$lib" <<<"$depends" || { echo "FAIL: Depends lacks $lib" >&2; exit 1; }
done

# A scratch root with an empty dpkg database. The shared libraries come from
# the host: they are not installed in the scratch root, hence --force-depends.
root="$work/root"
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers"
touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
dpkg --root="$root" --force-depends --force-script-chrootless --log=/dev/null -i "$deb" >/dev/null
# (Output is captured before it is searched: "grep -q" closes the pipe at its
# first match, and a writer that meets the closed pipe fails the pipeline.)
status="$(dpkg --root="$root" -s vev-config)"
grep -q "^Status: install ok installed" <<<"$status"

for f in usr/bin/vev-config usr/bin/vev-cli usr/bin/vev-sim usr/bin/vev-station usr/libexec/vev-config/vev-label \
         usr/lib/vev-config/modules/vev-tones.so \
         usr/share/applications/com.telvor.VevConfig.desktop usr/share/applications/com.telvor.VevStation.desktop \
         usr/share/metainfo/com.telvor.VevConfig.metainfo.xml \
         usr/share/icons/hicolor/256x256/apps/com.telvor.VevConfig.png \
         usr/share/doc/vev-config/copyright usr/share/doc/vev-config/changelog.gz \
         usr/share/bash-completion/completions/vev-cli \
         usr/share/vev-config/translations/vev-config_de.qm usr/share/vev-config/translations/vev-station_zh_CN.qm; do
    [[ -e "$root/$f" ]] || { echo "FAIL: $f not installed" >&2; exit 1; }
done

# The installed windows start and keep running (an offscreen platform, from
# a directory without icon.png, with settings of their own).
cd "$work"
for program in vev-config vev-station; do
    XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=offscreen "$root/usr/bin/$program" >"$work/app.log" 2>&1 &
    app=$!
    sleep 2
    if ! kill -0 "$app" 2>/dev/null; then
        echo "FAIL: the installed $program exited early:" >&2
        cat "$work/app.log" >&2
        exit 1
    fi
    kill "$app"
    wait "$app" 2>/dev/null || true
done

# Each manual page renders, under its program's name and version.
for program in vev-config vev-station vev-cli vev-sim; do
    page="$root/usr/share/man/man1/$program.1.gz"
    rendered="$(MANWIDTH=80 man -l "$page" 2>"$work/man.err")"
    if [[ -s "$work/man.err" ]] || ! grep -q "^NAME" <<<"$rendered" || ! grep -q "$program" <<<"$rendered" \
        || ! grep -qF "$version" <<<"$rendered"; then
        echo "FAIL: man -l $page:" >&2
        cat "$work/man.err" >&2
        exit 1
    fi
done

# The completion script loads in a plain bash and completes commands.
completion="$root/usr/share/bash-completion/completions/vev-cli"
words="$(bash -c 'source "$1" && COMP_WORDS=(vev-cli wr) COMP_CWORD=1 && _vev_cli && echo "${COMPREPLY[*]}"' _ "$completion")"
[[ "$words" == write ]] || { echo "FAIL: completion of 'vev-cli wr' gave '$words'" >&2; exit 1; }

# One version everywhere: the programs, the package and the metadata.
[[ "$("$root/usr/bin/vev-cli" --version)" == "vev-cli $version" ]] || { echo "FAIL: vev-cli --version" >&2; exit 1; }
[[ "$("$root/usr/bin/vev-sim" --version)" == "vev-sim $version" ]] || { echo "FAIL: vev-sim --version" >&2; exit 1; }
[[ "$(QT_QPA_PLATFORM=offscreen "$root/usr/bin/vev-station" --version)" == "vev-station $version" ]] \
    || { echo "FAIL: vev-station --version" >&2; exit 1; }
[[ "$("$root/usr/bin/vev-config" --version)" == "vev-config $version" ]] || { echo "FAIL: vev-config --version" >&2; exit 1; }
# The installed windows find their installed translations.
"$root/usr/bin/vev-config" --language de --version >/dev/null || { echo "FAIL: vev-config --language de" >&2; exit 1; }
[[ "$(dpkg-deb -f "$deb" Version)" == "$version" ]] || { echo "FAIL: package version" >&2; exit 1; }
grep -q "release version=\"$version\"" "$root/usr/share/metainfo/com.telvor.VevConfig.metainfo.xml" \
    || { echo "FAIL: metainfo release" >&2; exit 1; }
# The installed vev-cli finds its installed label helper.
"$root/usr/bin/vev-cli" label --ip 10.0.5.21 --gateway 10.0.5.1 --tcp-port 502 --mac 02:00:00:00:10:01 \
    --pdf "$work/label.pdf" >/dev/null
[[ "$(head -c 5 "$work/label.pdf")" == "%PDF-" ]] || { echo "FAIL: vev-cli label printed no PDF" >&2; exit 1; }
help="$("$root/usr/bin/vev-cli" --help)"
grep -q "Exit codes" <<<"$help"
help="$("$root/usr/bin/vev-sim" --help)"
grep -q -- "--hangup-after" <<<"$help"
echo "installed into a scratch root and started: ok"
