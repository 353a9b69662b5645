#!/bin/sh
# Checks the Debian package `make package` wrote into BUILD, as CI and a user would meet it: the
# ecosystem's own checks of each file, then install it with dpkg, start the installed program
# under a private X server, let it find its installed hive and asm.bat, and remove it again
# leaving nothing behind. Needs root (dpkg) and the packages of scripts/packages.txt.
#     test-package.sh [BUILD]
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
fail() { echo "test-package: $*" >&2; exit 1; }

# ---- Under the private X server: the installed program, driven by keys --------------------
if [ "${1:-}" = --under-x ]; then
    work=$2
    cd "$work"
    # A PATH without asm.bat and a working folder without one: Compile must find the installed
    # example.
    PATH=/usr/bin:/bin /usr/bin/brindlehof >program.out 2>&1 &
    program=$!
    trap 'kill $program 2>/dev/null || true' EXIT
    window=$(timeout 20 xdotool search --sync --name '^Kalvenmark$') || fail "no window within 20 s"
    window=$(echo "$window" | head -n 1)
    wmClass=$(xprop -id "$window" WM_CLASS | sed 's/.*, "\(.*\)"/\1/')
    grep -qx "StartupWMClass=$wmClass" /usr/share/applications/org.brindlehof.Brindlehof.desktop \
        || fail "window class $wmClass is not the desktop entry's StartupWMClass"
    xdotool windowfocus --sync "$window" key alt+c
    timeout 10 xdotool search --sync --name 'Name of Source to Compile' >/dev/null \
        || fail "no Compile prompt"
    xdotool type demo
    xdotool key Return
    timeout 20 sh -c 'until [ -s demo.log ]; do sleep 0.2; done' || fail "asm.bat did not run"
    grep -qx 'demo.z80 assembled into demo.bin, 74 bytes' demo.log || fail "asm.bat: $(cat demo.log)"

    xdotool windowfocus --sync "$window" key alt+a
    timeout 10 xdotool search --sync --name 'About Brindlehof' >/dev/null || fail "no About box"
    xdotool key alt+s
    timeout 20 sh -c 'until [ -f sysinfo.ran ]; do sleep 0.2; done' \
        || fail "System Info did not start the program the installed hive names"
    exit 0
fi

# ---- The package and the ecosystem's checks of its files ----------------------------------
build=${1:-build}
deb=$(ls "$build"/brindlehof_1.00.0004_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || fail "no package in $build: run make package"
[ "$(id -u)" -eq 0 ] || fail "installing the package needs root"
dpkg-query -W -f='${db:Status-Status}' brindlehof 2>/dev/null | grep -q installed \
    && fail "brindlehof is already installed here; remove it first (dpkg -r brindlehof)"

lintian --fail-on error,warning "$deb"
desktop-file-validate "$top/resources/org.brindlehof.Brindlehof.desktop"
appstreamcli validate --no-net "$top/resources/org.brindlehof.Brindlehof.metainfo.xml"
[ -z "$(man --warnings -l "$top/docs/brindlehof.1" 2>&1 >/dev/null)" ] || fail "man page warnings"
dpkg-deb -f "$deb" Version Depends Recommends Suggests

# ---- Installed -------------------------------------------------------------------------------
work=$(mktemp -d)
trap 'dpkg --purge brindlehof >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
dpkg -i "$deb"
dpkg -L brindlehof >"$work/files"
for file in /usr/bin/brindlehof /usr/share/brindlehof/hklm.reg /usr/share/brindlehof/asm.bat \
    /usr/share/applications/org.brindlehof.Brindlehof.desktop \
    /usr/share/metainfo/org.brindlehof.Brindlehof.metainfo.xml \
    /usr/share/icons/hicolor/16x16/apps/brindlehof.png \
    /usr/share/icons/hicolor/256x256/apps/brindlehof.png \
    /usr/share/icons/hicolor/scalable/apps/brindlehof.svg \
    /usr/share/man/man1/brindlehof.1.gz /usr/share/doc/brindlehof/copyright; do
    [ -f "$file" ] || fail "$file not installed"
done
[ -x /usr/share/brindlehof/asm.bat ] || fail "asm.bat not executable"
readelf -d /usr/bin/brindlehof | grep -q 'R.*PATH' && fail "the installed program has a RUNPATH"

# The installed hive names a stand-in that leaves a mark, so System Info shows which hive it read.
cp "$top/examples/demo.z80" "$work/"
printf '#!/bin/sh\ntouch "%s/sysinfo.ran"\n' "$work" >"$work/sysinfo"
chmod +x "$work/sysinfo"
sed -i "s|\"PATH\"=.*|\"PATH\"=\"$work/sysinfo\"|" /usr/share/brindlehof/hklm.reg
xvfb-run -a -s '-screen 0 1024x768x24' sh "$0" --under-x "$work" \
    || { cat "$work/program.out" >&2; exit 1; }

# ---- Removed -------------------------------------------------------------------------------
dpkg --purge brindlehof
left=$(while read -r path; do if [ -f "$path" ]; then echo "$path"; fi; done <"$work/files")
[ -z "$left" ] || fail "left behind: $left"
for folder in /usr/share/brindlehof /usr/share/doc/brindlehof; do
    [ ! -e "$folder" ] || fail "left behind: $folder"
done
echo "test-package: $deb installs, runs, finds its hive and asm.bat, and removes cleanly"
