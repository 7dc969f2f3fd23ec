#!/usr/bin/env bash
# Builds and runs the benchmark programs under Wine; the figures are printed and saved in bench-results/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" i686 x86_64
. "$root/scripts/wine-env.sh"
mkdir -p "$root/bench-results"
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
wineserver -p
for t in i686 x86_64; do
    wine "$root/build/$t/bin/vx_bench_search.exe" "Z:$root/bench-results/search-$t.json" </dev/null
done
