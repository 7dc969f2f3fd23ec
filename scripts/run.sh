#!/usr/bin/env bash
# Starts Verbinox.exe under Wine (the i686 build, or the x86_64 one on a host that cannot run 32-bit
# programs), on the current display or, without one, on a virtual display of its own. Started again
# while a copy runs, it brings that copy's window to the front and ends.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
. "$root/scripts/wine-env.sh"
target=i686
[ "$VX_WIN32" = yes ] || target=x86_64
bash "$root/scripts/build.sh" "$target"
program="$root/build/$target/bin/Verbinox.exe"
echo "run: $program (Control+Space shows it; the tray menu's Exit ends it)"
if [ -n "${DISPLAY:-}" ]; then
    exec wine "$program" </dev/null
fi
echo "run: no display: on a virtual one (screenshots: DISPLAY=:<n> import -window root shot.png)"
exec xvfb-run -a -s "-screen 0 1280x800x24" wine "$program" </dev/null
