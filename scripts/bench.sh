#!/usr/bin/env bash
# Builds and runs the benchmark programs under Wine; the figures are printed and saved in bench-results/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
# The program's benchmark opens the search window: without a display it could not be created. Like
# make run, the benchmark then brings a virtual display of its own.
if [ -z "${DISPLAY:-}" ]; then
    echo "bench: no display: on a virtual one"
    exec xvfb-run -a -s "-screen 0 1280x800x24" bash "$0" "$@"
fi
bash "$root/scripts/build.sh" i686 x86_64
. "$root/scripts/wine-env.sh"
out="$root/bench-results"
mkdir -p "$out"
echo "bench: making the synthetic tree (200,000 files) once, natively"
python3 "$root/bench/make_tree.py" "$out/tree"
echo "bench: making the program's profile (200,000 files in the seven preset folders) once, natively"
python3 "$root/bench/make_profile.py" "$out/profile-200k"
echo "bench: making the ranking's profile (a Start menu, programs, 5,000 documents, a browser, 137 queries) once"
python3 "$root/bench/make_rank_profile.py" "$out/rank-profile"
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
wineserver -p
targets=(x86_64)
[ "$VX_WIN32" = yes ] && targets=(i686 x86_64)
for t in "${targets[@]}"; do
    wine "$root/build/$t/bin/vx_bench_search.exe" "Z:$out/search-$t.json" </dev/null
    wine "$root/build/$t/bin/vx_bench_diskdex.exe" "Z:$out/tree" "Z:$out/diskdex-$t.json" </dev/null
    # The program's figures come from the folder a user unzips, the benchmark beside the program: the
    # build's debugging information alone makes loading the plug-ins under Wine about 100 ms slower.
    bash "$root/scripts/dist.sh" "$t" >/dev/null
    stage="$root/build/bench-$t"
    rm -rf "$stage"
    cp -a "$root/build/dist/Verbinox-$t" "$stage"
    cp "$root/build/$t/bin/vx_bench_app.exe" "$root/build/$t/bin/vx_test_fakes.dll" "$stage/"
    "$t-w64-mingw32-strip" --strip-debug "$stage/vx_bench_app.exe" "$stage/vx_test_fakes.dll"
    wine "$stage/vx_bench_app.exe" "Z:$out/profile-200k" "Z:$out/app-$t.json" </dev/null
    wine "$root/build/$t/bin/vx_bench_chromium.exe" "Z:$out/chromium-$t.json" </dev/null
    wine "$root/build/$t/bin/vx_bench_rank.exe" "Z:$out/rank-profile" "Z:$out/rank-$t.json" </dev/null
    # Pictures of the window at 96 and 144 DPI, light and dark, to look at: bench-results/screens/.
    wine "$root/build/$t/bin/vx_bench_screens.exe" "Z:$out/screens" </dev/null
done
