#!/usr/bin/env bash
# Lays out the portable folder a Windows user unzips, for each target built: the program, vxsearch, the
# core library, SQLite, the plug-ins with their files and the GCC runtime, nothing of the tests; then zips it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(i686 x86_64)
for t in "${targets[@]}"; do
    bin="$root/build/$t/bin"
    out="$root/build/dist/Verbinox-$t"
    rm -rf "$out" "$out.zip"
    mkdir -p "$out/Plugins"
    cp "$bin/Verbinox.exe" "$bin/vxsearch.exe" "$bin/VerbinoxCore.dll" "$bin/sqlite3.dll" "$out/"
    cp "$bin"/libstdc++-6.dll "$bin"/libgcc_s_*.dll "$bin"/libwinpthread-1.dll "$out/"
    # Plug-ins and whatever lies beside them in their folder (icons, images), never the test plug-in.
    cp -a "$bin/Plugins/." "$out/Plugins/"
    find "$out/Plugins" -name 'vx_test_*' -delete
    # The build keeps debugging information; what a user unzips does not need it.
    strip=$t-w64-mingw32-strip
    command -v "$strip" >/dev/null && find "$out" \( -name '*.exe' -o -name '*.dll' -o -name '*.vll' \) -exec "$strip" --strip-debug {} +
    (cd "$root/build/dist" && python3 -c 'import shutil, sys; shutil.make_archive(sys.argv[1], "zip", ".", sys.argv[1])' "Verbinox-$t")
    echo "dist: $out.zip"
done
