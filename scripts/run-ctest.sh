#!/usr/bin/env bash
# Runs CTest for the given build targets inside one Wine session. Wine's background processes inherit
# the pipes of the first test they see and CTest would wait for them forever, so a small program of our
# own starts the session first with its output on /dev/null and keeps it alive; at the end the whole
# session is ended, leaving no Wine process behind.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/wine-env.sh"

cleanup() { wineserver -k >/dev/null 2>&1 || true; }
trap cleanup EXIT

wineserver -p
wine "$root/build/$1/bin/vx_anchor.exe" </dev/null >/dev/null 2>&1 &
sleep 1

status=0
for t in "$@"; do
    echo "== tests: $t"
    ctest --test-dir "$root/build/$t" --output-on-failure -j 2 --timeout 300 || status=1
done
exit $status
