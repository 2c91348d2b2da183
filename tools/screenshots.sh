#!/bin/bash
# screenshots.sh OUT_DIR: pictures of the tool under Wine on a virtual screen: the dialog in
# German and in English, the About box, and one error message.
set -euo pipefail
out=$(realpath -m "$1")
exe=$(realpath build/win64/BRIVELCONFIG.EXE)
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
export WINEPREFIX=$(realpath -m build/screenshots-prefix) WINEDEBUG=-all
drive_c=$WINEPREFIX/drive_c
mkdir -p "$out"

exec 3< <(exec Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp 2>/dev/null)
xvfb=$!
read -r display <&3
export DISPLAY=:$display
trap '"$wineserver" -k 2>/dev/null || true; kill "$xvfb" 2>/dev/null || true' EXIT

if [ ! -d "$drive_c" ]; then
    "$wine" wineboot --init >/dev/null 2>&1
    # No window manager here: Wine draws the frames itself.
    "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    "$wineserver" -w
fi

wait_for_window() { # NAME: waits until a visible window has that exact title
    for _ in $(seq 300); do
        xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1 && return
        sleep 0.1
    done
    echo "no window \"$1\" appeared" >&2
    exit 1
}

# shot NAME: the dialog's screen area, once Wine has painted it.
shot() {
    local id; id=$(wait_for_window BrivelConfig)
    eval "$(xdotool getwindowgeometry --shell "$id")"
    sleep 0.5 # the last paint of a freshly opened window has no event to wait for
    import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out/$1.png"
}

start() { # CONTENT: starts the tool on a settings file with that content, or none
    "$wineserver" -k 2>/dev/null || true
    rm -f "$drive_c/dxerror.ini"
    [ -n "$1" ] && printf '%b' "$1" > "$drive_c/dxerror.ini"
    "$wine" "$exe" &
    wait_for_window BrivelConfig >/dev/null
}

start ""
shot dialog-german

start '[DirectX Errors]\r\n\r\npagesync=0\r\nhighspeed=1\r\nlanguage=1\r\n'
shot dialog-english

xdotool key alt+space Up Return
wait_for_window "About BrivelConfig" >/dev/null
shot about-box
xdotool key Escape

rm -f "$drive_c/dxerror.ini"
xdotool key Return
wait_for_window BRIVELCONFIG >/dev/null
shot error-message
echo "Screenshots in $out"
