#!/usr/bin/env bash
# Configures (once) and builds the tree for each target named (default: i686 and x86_64).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(i686 x86_64)
for t in "${targets[@]}"; do
    dir="$root/build/$t"
    if [ ! -f "$dir/build.ninja" ]; then
        cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$t.cmake" >/dev/null
    fi
    # ninja's status is taken before the filter: with pipefail and "|| true" it would be lost.
    status=0
    ninja -C "$dir" >"$dir/ninja.log" 2>&1 || status=$?
    grep -vE '^(\[[0-9]+/[0-9]+\] |ninja: (Entering directory|no work to do))' "$dir/ninja.log" || true
    [ "$status" -eq 0 ] || { echo "build: $t failed" >&2; exit 1; }
done
