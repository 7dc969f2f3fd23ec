#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build and test Verbinox, and creates the private
# Wine prefix the tests run in. Idempotent: a second run only checks and returns.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=scripts/wine-env.sh
. "$root/scripts/wine-env.sh"

packages=(cmake ninja-build g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools
          wine wine64 wine32:i386 xvfb imagemagick xdotool googletest)

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
    "${sudo_cmd[@]}" apt-get update -q
    "${sudo_cmd[@]}" apt-get install -y -q "${missing[@]}"
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
