# Sourced by the build and test scripts: a private, quiet, non-interactive Wine.
root=${root:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
export VX_STATE="${VX_STATE:-$root/.wine-state}"
export HOME="$VX_STATE/home"
export WINEPREFIX="$VX_STATE/prefix"
export WINEDEBUG="${WINEDEBUG:--all,err+module}"
export WINEDLLOVERRIDES="mscoree=;winemenubuilder.exe=d"
export LANG=C.UTF-8 LC_ALL=C.UTF-8

# Debian's wine wrapper always starts the 32-bit loader when it is installed, and that loader is a
# 32-bit Linux program: a kernel built without IA-32 emulation (some virtual machines) refuses it with
# "Exec format error", and then not even 64-bit programs start. The same holds where wine32:i386 could
# not be installed. On such a host "wine" means the 64-bit loader, and VX_WIN32=no tells the test
# scripts that 32-bit programs cannot run here.
vx_choose_wine() {
    export VX_WIN32=yes
    [ -x /usr/lib/wine/wine64 ] || return 0
    # The 32-bit loader is missing when wine32:i386 could not be installed, or cannot start here.
    [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1 && return 0
    VX_WIN32=no
    mkdir -p "$VX_STATE/bin"
    local shim='#!/bin/sh
exec /usr/lib/wine/wine64 "$@"'
    for name in wine wine-stable; do
        # Written only when missing: rewriting a script that a running test is executing fails.
        [ "$(cat "$VX_STATE/bin/$name" 2>/dev/null)" = "$shim" ] && continue
        printf '%s\n' "$shim" >"$VX_STATE/bin/$name.new"
        chmod +x "$VX_STATE/bin/$name.new"
        mv -f "$VX_STATE/bin/$name.new" "$VX_STATE/bin/$name"
    done
    export WINELOADER=/usr/lib/wine/wine64
    case ":$PATH:" in
    *":$VX_STATE/bin:"*) ;;
    *) export PATH="$VX_STATE/bin:$PATH" ;;
    esac
}
vx_choose_wine
