#!/bin/sh
# The setup installed silently in a clean Wine prefix, its program started as its shortcut does and
# driven by keys under Xvfb and openbox, then removed: smoke-windows.sh DIST [PNG about shot].
set -eu
dist=$(cd "$1" && pwd)
shot=${2:+$(pwd)/$2}
work=$(mktemp -d)
# A home of its own: Wine makes Documents there, and writes no menu entries into the real one.
mkdir "$work/home"
export HOME="$work/home" WINEPREFIX="$work/prefix" WINEDEBUG=-all DISPLAY=:57 \
    WINEDLLOVERRIDES=winemenubuilder.exe=d
fail() { echo "smoke-windows: FAIL: $*" >&2; exit 1; }
trap 'set +e; wineserver -k 2>/dev/null; kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT
Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
wineboot --init >/dev/null 2>&1
openbox >/dev/null 2>&1 &

# Per user and silent: the program's files, those of the zip, under %LOCALAPPDATA%\Programs.
win() { wine cmd /c echo "$1" | tr -d '\r'; }
app=$(win %LOCALAPPDATA%)\\Programs\\Brindlehof docs=$(win %USERPROFILE%)\\Documents\\Brindlehof
setup() { wine "$dist"/brindlehof-*-setup.exe /S "$@" && wineserver -w; }
setup
appdir=$(winepath -u "$app")
[ "$(cd "$appdir" && find . -type f | sort)" = "$( (echo ./uninstall.exe
    unzip -Z1 "$dist"/brindlehof-*-win64.zip | sed -n 's|^[^/]*/\(.*[^/]\)$|./\1|p') | sort)" ] \
    || fail "installed: $(ls -R "$appdir")"
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Brindlehof'
entry=$(wine reg query "$key" | tr -d '\r' | tr -s ' ' | sed 's/^ //')
size=$(printf '0x%x' "$(du -sk --exclude=uninstall.exe "$appdir" | cut -f1)")
for value in "DisplayName REG_SZ Brindlehof" "DisplayVersion REG_SZ 1.00.0004" \
    "Publisher REG_SZ the Brindlehof developers" "DisplayIcon REG_SZ $app\\brindlehof.exe,0" \
    "InstallLocation REG_SZ $app" "UninstallString REG_SZ \"$app\\uninstall.exe\"" \
    "QuietUninstallString REG_SZ \"$app\\uninstall.exe\" /S" "EstimatedSize REG_DWORD $size" \
    "NoModify REG_DWORD 0x1" "NoRepair REG_DWORD 0x1"; do
    printf "%s\n" "$entry" | grep -qxF "$value" || fail "uninstall entry without $value: $entry"
done
link=$(winepath -u "$(win %APPDATA%)\\Microsoft\\Windows\\Start Menu\\Programs\\Brindlehof.lnk")
shortcut=$(lnkinfo "$link") || fail "no shortcut"
field() { printf "%s\n" "$shortcut" | sed -n "s/^[[:space:]]*$1[[:space:]]*: //p"; }
[ "$(field 'Local path')|$(field 'Working directory')|$(field 'Icon location')" \
    = "$app\\brindlehof.exe|$docs|$app\\brindlehof.exe" ] || fail "shortcut: $shortcut"

# The id of the window whose whole title is $1, once it shows; a search fails on a window it loses.
window() {
    ids=$(timeout 60 sh -c "until xdotool search --onlyvisible --name '^$1\$'; do sleep 1; done" \
        2>/dev/null) && echo "$ids" | head -n 1
}
# Keys, each given time to take effect.
press() { xdotool key --delay 300 "$@"; sleep 0.7; }
# Answers the prompt titled $1 with $2.
answer() {
    window "$1" >/dev/null || fail "no $1 prompt"
    sleep 0.5; xdotool type --delay 50 "$2"; xdotool key Return
}
# Waits up to 20 s for the file $1 to hold what the file $2 does, or anything without $2.
settled() {
    timeout 20 sh -c "until [ -s '$1' ] && cmp -s '$1' '${2:-$1}'; do sleep 0.5; done" || true
    sleep 0.5
}

cd "$(winepath -u "$docs")" && cmp demo.z80 "$appdir/demo.z80" || fail "no demo.z80 to work on"
wine "$(field 'Local path')" >/dev/null 2>&1 &
program=$!
editor=$(window Kalvenmark) && sleep 2 || fail "no Kalvenmark window"
eval "$(xdotool getwindowgeometry --shell "$editor")"
[ "$WIDTH" -eq 673 ] && [ "$HEIGHT" -gt 519 ] || fail "window ${WIDTH}x$HEIGHT"
[ "$(xprop -id "$editor" _NET_WM_ICON | grep -c -e "32 x 32" -e "16 x 16")" -eq 2 ] || fail "icons"

# Open "demo", a comment typed, Save "demo" over it made hidden: Windows-1252, CR LF, still hidden
# where Wine keeps the attribute (an extended attribute).
hidden() { wine attrib demo.z80 | grep -q '^....H'; }
wine attrib +h demo.z80 && hidden && keep=hidden || keep=""
press alt+f o && answer Open demo && sleep 1
# The key for é is mapped only while it is typed: slowly, or Wine reads it unmapped.
xdotool type --delay 300 '; é' && press Return
{ printf '; \351\r\n' && cat "$appdir/demo.z80"; } > "$work/saved"
press alt+f s && answer "Save As" demo && settled demo.z80 "$work/saved"
cmp demo.z80 "$work/saved" || fail "demo.z80 holds $(od -An -c demo.z80 | head)"
[ -z "$keep" ] || hidden || fail "demo.z80 is no longer hidden"

# Compile "demo": the asm.bat and pasmo.exe beside the program make what Linux's pasmo does.
compile() { xdotool windowactivate --sync "$editor" && press alt+c
    answer "Name of Source to Compile" "$1"; }
(cd "$work" && pasmo saved saved.bin)
compile demo && settled demo.log
cmp demo.bin "$work/saved.bin" || fail "demo.bin: $(cat demo.log)"
[ "$(tr -d '\r' < demo.log)" = "demo.z80 assembled into demo.bin, $(stat -c %s demo.bin) bytes" ] \
    || fail "demo.log: $(cat demo.log)"

# Save over a file with a second hard link: both names get the text; read-only: error 70.
refused() { xdotool windowactivate --sync "$(window Brindlehof)" && press Return || fail "$1"; }
ln demo.z80 twin.z80 && printf 'old\r\n' > demo.z80
xdotool windowactivate --sync "$editor" && press alt+f s && answer "Save As" demo
settled twin.z80 "$work/saved"
cmp demo.z80 "$work/saved" && cmp twin.z80 "$work/saved" || fail "the hard links parted"
rm twin.z80 && printf 'old\r\n' > demo.z80 && chmod a-w demo.z80
press alt+f s && answer "Save As" demo && refused "no error 70 over a read-only file"
printf 'old\r\n' | cmp - demo.z80 || fail "the read-only demo.z80 holds $(cat demo.z80)"

# About: framed by the window manager, not in the task bar. System Info, with no program named,
# then one whose path holds a space: unquoted, it would start the decoy C:\my.exe.
press alt+a && about=$(window "About Brindlehof") || fail "no About box"
xprop -id "$about" _NET_WM_STATE | grep -q SKIP_TASKBAR || fail "About is in the task bar"
[ "$(xprop -id "$about" _MOTIF_WM_HINTS | cut -d, -f3)" != " 0x0" ] || fail "About has no frame"
[ -z "$shot" ] || { sleep 1; import -window root "$shot"; }
press alt+s && window Brindlehof >/dev/null && press Return || fail "no unavailable message"
mkdir "$WINEPREFIX/drive_c/my dir"
cp "$WINEPREFIX/drive_c/windows/notepad.exe" "$WINEPREFIX/drive_c/my dir/"
cp "$appdir/brindlehof.exe" "$WINEPREFIX/drive_c/my.exe"
wine reg add 'HKLM\SOFTWARE\Microsoft\Shared Tools\MSINFO' /v PATH /d 'C:\my dir\notepad.exe' \
    /f >/dev/null 2>&1
xdotool search --sync --name "^About Brindlehof\$" windowactivate --sync
press alt+s
timeout 30 xdotool search --sync --onlyvisible --class notepad >/dev/null || fail "no notepad"
xdotool search --sync --name "^About Brindlehof\$" windowactivate --sync && press Return

# Compile: an answer cmd would run a command of is error 5; the working folder's asm.bat first.
printf '@echo %%*> compiled.txt\r\n' > asm.bat
compile 'demo & echo x' && refused "no error 5 for demo & echo x"
sleep 2 && [ ! -e compiled.txt ] || fail "asm.bat ran on demo & echo x"
compile demo && settled compiled.txt
[ "$(tr -d '\r\n ' < compiled.txt)" = demo ] || fail "asm.bat got: $(cat compiled.txt)"
rm asm.bat "$appdir/asm.bat" && compile demo && refused "no error 53 without asm.bat"

# File Exit ends the process.
xdotool windowactivate --sync "$editor" && press alt+f x
timeout 20 sh -c "while kill -0 $program 2>/dev/null; do sleep 0.5; done" || fail "still running"

# Set up again (notepad ended): program whole, source kept; removed: only it stays; /D= obeyed.
wineserver -k; setup && [ -f "$appdir/asm.bat" ] || fail "asm.bat not installed again"
printf 'old\r\n' | cmp - demo.z80 || fail "the setup replaced demo.z80"
wine "$app\\uninstall.exe" /S && wineserver -w
[ ! -e "$appdir" ] && [ ! -e "$link" ] || fail "left: $(ls "$appdir" "$link" 2>&1)"
! wine reg query "$key" >/dev/null 2>&1 || fail "the uninstall entry is left"
printf 'old\r\n' | cmp - demo.z80 || fail "demo.z80 was removed"
setup '/D=C:\elsewhere' && [ -f "$WINEPREFIX/drive_c/elsewhere/brindlehof.exe" ] || fail "no /D="
echo "smoke-windows: passed"
