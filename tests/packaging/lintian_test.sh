#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the .deb from a build directory and runs lintian on it: no error
# and no warning may remain.
#   lintian_test.sh BUILD_DIR
set -euo pipefail

build="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

(cd "$build" && cpack -G DEB -B "$work" >/dev/null)
deb="$(ls "$work"/vev-config_*.deb)"
# Root is how CI runs; lintian only warns about it on stderr.
lintian --fail-on error,warning --tag-display-limit 0 "$deb" 2> >(grep -v 'root privileges' >&2)
echo "lintian: $(basename "$deb") has no errors or warnings"
