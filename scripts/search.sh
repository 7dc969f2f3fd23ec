#!/usr/bin/env bash
# Runs vxsearch.exe under Wine with the given arguments: the i686 build, or the x86_64 one on a host
# whose kernel cannot run 32-bit programs (see wine-env.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
. "$root/scripts/wine-env.sh"
target=i686
if [ "$VX_WIN32" != yes ]; then
    target=x86_64
    echo "search: this machine cannot run 32-bit programs; using the x86_64 build" >&2
fi
bash "$root/scripts/build.sh" "$target"
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
wineserver -p
status=0
wine "$root/build/$target/bin/vxsearch.exe" "$@" </dev/null || status=$?
exit $status
