#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build and test Verbinox, and creates the private
# Wine prefix the tests run in. Idempotent: a second run only checks and returns.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=scripts/wine-env.sh
. "$root/scripts/wine-env.sh"

packages=(cmake ninja-build g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools
          wine wine64 wine32:i386 xvfb imagemagick xdotool googletest nlohmann-json3-dev curl)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        "${sudo_cmd[@]}" dpkg --add-architecture i386
    fi
    export DEBIAN_FRONTEND=noninteractive
    # A mirror caught mid-sync fails one index ("File has unexpected size"); apt-get update then exits
    # non-zero although the indexes the install needs arrived. Try again a little later, and in the end
    # let the install itself say whether anything it needs is missing.
    for attempt in 1 2 3; do
        "${sudo_cmd[@]}" apt-get update -q && break
        echo "setup: apt-get update failed (attempt $attempt of 3)" >&2
        [ "$attempt" -eq 3 ] || sleep $((attempt * 15))
    done
    if ! "${sudo_cmd[@]}" apt-get install -y -q "${missing[@]}"; then
        # 32-bit Wine needs i386 twins of the security updates at the very same versions; while the
        # mirror lacks that index they cannot be had. Everything else can: the i686 build needs only
        # the cross compiler, and the test scripts skip the i686 tests where 32-bit Wine cannot start.
        rest=()
        for p in "${missing[@]}"; do [ "$p" = wine32:i386 ] || rest+=("$p"); done
        [ ${#rest[@]} -lt ${#missing[@]} ] || exit 1
        echo "setup: wine32:i386 cannot be installed now; going on without it (the i686 tests will be skipped)" >&2
        "${sudo_cmd[@]}" apt-get install -y -q "${rest[@]}"
    fi
fi

# The loader can only be judged once Wine is installed.
vx_choose_wine

# A prefix whose creation failed half-way has its registry files but no Windows folder.
if [ ! -f "$WINEPREFIX/system.reg" ] || [ ! -d "$WINEPREFIX/drive_c/windows/system32" ]; then
    echo "setup: creating the Wine prefix in $WINEPREFIX"
    [ "$VX_WIN32" = yes ] || echo "setup: this kernel cannot run 32-bit programs: a 64-bit-only Wine prefix"
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX" "$HOME"
    wineserver -p
    wine wineboot --init >/dev/null 2>&1 || true
    wineserver -k || true
    [ -d "$WINEPREFIX/drive_c/windows/system32" ] || { echo "setup: wineboot did not create the prefix" >&2; exit 1; }
fi

# SQLite is built from its amalgamation, which the npm package better-sqlite3 carries in deps/sqlite3.
# The package is pinned by version and checksum; only the three amalgamation files are kept.
sqlite_package=better-sqlite3-12.11.1.tgz
sqlite_sha256=ebf0ed75a7a59dbcb3b24bbd014ef49d9f15bc328e4adcbf516f2a8fadfa2835
deps="$root/build/deps"
if [ ! -f "$deps/sqlite3/sqlite3.c" ]; then
    echo "setup: fetching the SQLite amalgamation ($sqlite_package)"
    mkdir -p "$deps"
    tmp=$(mktemp -d)
    curl -fsSL --retry 3 -o "$tmp/$sqlite_package" \
        "https://registry.npmjs.org/better-sqlite3/-/$sqlite_package"
    echo "$sqlite_sha256  $tmp/$sqlite_package" | sha256sum -c --quiet -
    tar -xzf "$tmp/$sqlite_package" -C "$tmp" package/deps/sqlite3
    rm -rf "$deps/sqlite3"
    mv "$tmp/package/deps/sqlite3" "$deps/sqlite3"
    rm -rf "$tmp"
fi

# nlohmann-json is header-only and architecture-independent, but the cross compilers must not see the
# rest of the build machine's /usr/include: its one folder is linked into a private include folder.
mkdir -p "$deps/include"
[ -e "$deps/include/nlohmann" ] || ln -s /usr/include/nlohmann "$deps/include/nlohmann"
