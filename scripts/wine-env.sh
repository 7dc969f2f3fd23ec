# Sourced by the build and test scripts: a private, quiet, non-interactive Wine.
root=${root:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
export VX_STATE="${VX_STATE:-$root/.wine-state}"
export HOME="$VX_STATE/home"
export WINEPREFIX="$VX_STATE/prefix"
export WINEDEBUG="${WINEDEBUG:--all,err+module}"
export WINEDLLOVERRIDES="mscoree=;winemenubuilder.exe=d"
export LANG=C.UTF-8 LC_ALL=C.UTF-8
