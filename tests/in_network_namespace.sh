#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs a command in a network namespace of its own: as root directly,
# otherwise in a user namespace that maps this user to root. Where the system
# refuses both, exits 77, which ctest reports as skipped, not passed.
#   in_network_namespace.sh COMMAND [ARGUMENTS...]
set -eu
skipped=77

if [ "$(id -u)" -eq 0 ] && unshare --net true 2>/dev/null; then
    exec unshare --net "$@"
fi
if unshare --user --map-root-user --net true 2>/dev/null; then
    exec unshare --user --map-root-user --net "$@"
fi
echo "skipped: this system gives no network namespace to $(id -un) (unshare --net and unshare --user --net refused)" >&2
exit "$skipped"
