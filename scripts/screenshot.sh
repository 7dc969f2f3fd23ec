#!/usr/bin/env bash
# Run inside the test command's virtual display: starts the program from the x86_64 (or i686) portable
# folder over a small folder of its own, types a search and saves a picture of what a user sees as
# build/screenshots/results.png (a build artefact, never committed).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/wine-env.sh"
target=i686
[ "$VX_WIN32" = yes ] || target=x86_64
dist="$root/build/dist/Verbinox-$target"
docs="$root/build/screenshots/documents"
mkdir -p "$docs"
for name in "meeting notes.doc" notebook.pdf notes-2026.txt noteworthy.txt report.txt; do
    : >"$docs/$name"
done
winpath=$(winepath -w "$docs" 2>/dev/null)
printf '<Verbinox><Verbinox><Window AutoHide="false" HotKey="122" HotKeyModifier="7" /><Core><PluginMgr><Diskdex><Indexer Path="%s" Recurse="true" /></Diskdex></PluginMgr></Core></Verbinox></Verbinox>\n' \
    "$winpath" >"$dist/Verbinox.xml"
wine "$dist/Verbinox.exe" </dev/null >/dev/null 2>&1 &
for _ in $(seq 1 60); do
    window=$(xdotool search --name '^Verbinox$' 2>/dev/null | head -1)
    [ -n "$window" ] && break
    sleep 0.5
done
if [ -z "${window:-}" ]; then
    echo "screenshot: the window did not appear" >&2
    exit 0
fi
sleep 2
xdotool windowactivate --sync "$window" >/dev/null 2>&1
xdotool windowfocus "$window" >/dev/null 2>&1
xdotool type --delay 80 "note"
sleep 2
import -window root "$root/build/screenshots/results.png" && echo "screenshot: build/screenshots/results.png"
xdotool key Escape >/dev/null 2>&1
rm -f "$dist/Verbinox.xml"
