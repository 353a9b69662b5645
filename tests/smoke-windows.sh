#!/bin/sh
# The Windows program from its zip in a clean Wine prefix, driven by keys as a user would under Xvfb
# and openbox: smoke-windows.sh DIST [PNG], PNG naming where a screenshot with About goes.
set -eu
zip=$(ls "$1"/brindlehof-*-win64.zip)
shot=${2:+$(pwd)/$2}
work=$(mktemp -d)
export WINEPREFIX="$work/prefix" WINEDEBUG=-all DISPLAY=:57
fail() { echo "smoke-windows: FAIL: $*" >&2; exit 1; }
trap 'wineserver -k 2>/dev/null; kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT
unzip -q "$zip" -d "$work"
Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
wineboot --init >/dev/null 2>&1
openbox >/dev/null 2>&1 &

# The id of the window whose whole title is $1, once it shows.
window() {
    ids=$(timeout 60 xdotool search --sync --onlyvisible --name "^$1\$") && echo "$ids" | head -n 1
}
# Keys, each given time to take effect.
press() { xdotool key --delay 300 "$@"; sleep 0.7; }
# Answers the prompt titled $1 with $2.
answer() {
    window "$1" >/dev/null || fail "no $1 prompt"
    sleep 0.5; xdotool type --delay 50 "$2"; xdotool key Return
}
# Waits up to 20 s for the file $1 to hold something.
settled() { timeout 20 sh -c "until [ -s '$1' ]; do sleep 0.5; done" || true; sleep 0.5; }

cd "$work"/brindlehof-*-win64
wine brindlehof.exe >/dev/null 2>&1 &
program=$!
editor=$(window Kalvenmark) || fail "no Kalvenmark window"
sleep 2
# 10095 twips at 96 DPI, and the menu bar above 7785 twips of client area.
eval "$(xdotool getwindowgeometry --shell "$editor")"
[ "$WIDTH" -eq 673 ] && [ "$HEIGHT" -gt 519 ] || fail "window ${WIDTH}x$HEIGHT"
icons=$(xprop -id "$editor" _NET_WM_ICON)
echo "$icons" | grep -q "32 x 32" && echo "$icons" | grep -q "16 x 16" || fail "no icons"

# Typing, then File Save "demo": Windows-1252 with CR LF.
xdotool type --delay 50 'ld a,b ; é'
press Return && xdotool type --delay 50 'ret'
press alt+f s && answer "Save As" demo && settled demo.z80
printf 'ld a,b ; \351\r\nret\r\n' | cmp - demo.z80 || fail "demo.z80 holds $(od -An -c demo.z80)"

# About, and System Info with no program named, then with one whose path holds a space: started
# unquoted, that path would start C:\my.exe, a copy of the editor that finds no DLLs there.
press alt+a && window "About Brindlehof" >/dev/null || fail "no About box"
[ -z "$shot" ] || { sleep 1; import -window root "$shot"; }
press alt+s && window Brindlehof >/dev/null || fail "no unavailable message"
press Return
mkdir "$WINEPREFIX/drive_c/my dir"
cp "$WINEPREFIX/drive_c/windows/notepad.exe" "$WINEPREFIX/drive_c/my dir/"
cp brindlehof.exe "$WINEPREFIX/drive_c/my.exe"
wine reg add 'HKLM\SOFTWARE\Microsoft\Shared Tools\MSINFO' /v PATH /d 'C:\my dir\notepad.exe' \
    /f >/dev/null 2>&1
xdotool search --sync --name "^About Brindlehof\$" windowactivate --sync
press alt+s
timeout 30 xdotool search --sync --onlyvisible --class notepad >/dev/null || fail "no notepad"
xdotool search --sync --name "^About Brindlehof\$" windowactivate --sync && press Return

# Compile: no asm.bat is error 53; an answer that would make cmd run a command of its own is
# error 5 and starts nothing; "demo" runs the asm.bat of the working folder with "demo".
compile() {
    xdotool windowactivate --sync "$editor" && press alt+c
    answer "Name of Source to Compile" "$1"
}
refused() { xdotool windowactivate --sync "$(window Brindlehof)" && press Return || fail "$1"; }
rm asm.bat && compile demo && refused "no error 53 without asm.bat"
printf '@echo %%*> compiled.txt\r\n' > asm.bat
compile 'demo & echo x' && refused "no error 5 for demo & echo x"
sleep 2 && [ ! -e compiled.txt ] || fail "asm.bat ran on demo & echo x"
compile demo && settled compiled.txt
[ "$(tr -d '\r\n ' < compiled.txt)" = demo ] || fail "asm.bat got: $(cat compiled.txt)"

# File Exit ends the process.
xdotool windowactivate --sync "$editor" && press alt+f x
i=0
while kill -0 "$program" 2>/dev/null; do
    [ $((i += 1)) -lt 40 ] || fail "still running after Exit"; sleep 0.5
done
echo "smoke-windows: passed"
