#!/bin/bash
# run-wine.sh EXE: starts the tool under Wine in the user's own prefix ($WINEPREFIX, or
# ~/.wine), so it edits the very c:\dxerror.ini that games in that prefix read.
# Without a display it starts a virtual screen, saves a screenshot and ends the tool.
set -euo pipefail
exe=$(realpath "$1")
wine=/usr/lib/wine/wine64
export WINEDEBUG=${WINEDEBUG:--all}

if [ -n "${DISPLAY:-}" ]; then
    exec "$wine" "$exe"
fi

shot=$(dirname "$exe")/screenshot.png
exec 3< <(exec Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp 2>/dev/null)
xvfb=$!
read -r display <&3
export DISPLAY=:$display
"$wine" "$exe" &
tool=$!
for _ in $(seq 600); do
    xdotool search --name '^BrivelConfig$' >/dev/null 2>&1 && break
    kill -0 $tool 2>/dev/null || { echo "The tool ended before its window appeared." >&2; exit 1; }
    sleep 0.1
done
# Let the first paint finish before the picture is taken.
xdotool search --sync --onlyvisible --name '^BrivelConfig$' >/dev/null
import -window root "$shot"
"$(dirname "$wine")/wineserver" -k
kill "$xvfb" 2>/dev/null || true
echo "No display: ran the tool on a virtual screen; its picture is $shot"
