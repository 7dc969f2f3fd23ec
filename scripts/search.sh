#!/usr/bin/env bash
# Runs vxsearch.exe of the i686 build under Wine with the given arguments.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" i686
. "$root/scripts/wine-env.sh"
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
wineserver -p
status=0
wine "$root/build/i686/bin/vxsearch.exe" "$@" </dev/null || status=$?
exit $status
