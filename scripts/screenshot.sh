#!/bin/sh
# Takes a screenshot of the real program under Xvfb: screenshot.sh OUT.png [xdotool-args...]
# The xdotool arguments (for example: key alt+f) run once the editor is up. Needs xvfb, xauth,
# imagemagick and xdotool; openbox, when installed, draws the window frames.
set -eu
out=$1
shift
top=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$top/build/work"
find "$top/examples" -maxdepth 1 -type f -exec cp -pn {} "$top/build/work/" \;
export OUT="$out" TOP="$top" KEYS="$*"
xvfb-run -a -s '-screen 0 900x680x24' sh -c '
    command -v openbox >/dev/null && { openbox >/dev/null 2>&1 & sleep 1; }
    cd "$TOP/build/work" && "$TOP/build/brindlehof" >/dev/null 2>&1 &
    sleep 2
    [ -n "$KEYS" ] && xdotool $KEYS
    sleep 1
    import -window root "$OUT"
'
