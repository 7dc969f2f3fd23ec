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

# 32-bit Windows programs need Wine's 32-bit loader, which a kernel without IA-32 emulation cannot
# start (wine-env.sh finds out). The i686 build is still made by the build step; only its tests cannot
# run on such a host.
can_run() {
    [ "$1" != i686 ] || [ "$VX_WIN32" = yes ]
}

runnable=()
for t in "$@"; do
    if can_run "$t"; then
        runnable+=("$t")
    else
        echo "== tests: $t SKIPPED: this machine's kernel cannot run 32-bit programs (no IA-32 emulation)," \
             "so 32-bit Wine cannot start here; the $t build was made, its tests need a host that runs them"
    fi
done
[ ${#runnable[@]} -gt 0 ] || { echo "run-ctest: no target can run here" >&2; exit 1; }

# A server left from an earlier run may have made its desktop without this display: start afresh.
wineserver -k >/dev/null 2>&1 || true
wineserver -p
wine "$root/build/${runnable[0]}/bin/vx_anchor.exe" </dev/null >/dev/null 2>&1 &
sleep 1

status=0
for t in "${runnable[@]}"; do
    echo "== tests: $t"
    ctest --test-dir "$root/build/$t" --output-on-failure -j 2 --timeout 300 || status=1
done
# A picture of the real window with results, kept beside the build.
bash "$root/scripts/screenshot.sh" || true
exit $status
