#!/bin/sh
# Cross-builds pasmo, the Z80 assembler the Windows asm.bat runs, from Debian's source of the
# version installed here, into a cache outside the checkout. Later runs find it built and return
# at once. Prints the folder that holds what ships: pasmo.exe, its licence and where its source
# comes from.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
version=$(dpkg-query -W -f='${Version}' pasmo)   # e.g. 0.5.3-7
cache=${XDG_CACHE_HOME:-$HOME/.cache}/brindlehof
out=$cache/pasmo-$version-win64
if [ -f "$out/.complete" ]; then
    echo "$out"
    exit 0
fi
src=$cache/pasmo-$version
sh "$top/scripts/debian-source.sh" pasmo "$version" "$src"

# Its configure script only defines VERSION; one compiler run over the sources does the rest.
# Linked statically, it needs no DLL beside it but the system's own.
upstream=$(sed -n 's/^AC_INIT(pasmo, *\([^,]*\),.*/\1/p' "$src/configure.ac")
rm -rf "$out" && mkdir -p "$out"
echo "build-pasmo-windows: building pasmo $upstream" >&2
x86_64-w64-mingw32-g++-posix -O2 -s -static -DVERSION="\"$upstream\"" -o "$out/pasmo.exe" \
    "$src"/*.cpp
sed 's/$/\r/' "$src/COPYING" > "$out/pasmo-COPYING.txt"
sed 's/$/\r/' > "$out/pasmo-SOURCE.txt" <<NOTE
pasmo.exe is Pasmo $upstream, the Z80 cross-assembler by Julian Albo, built unchanged for
64-bit Windows with mingw-w64 from the source of the Debian package pasmo $version.
It is free software under the GNU General Public License (pasmo-COPYING.txt).

Its source: the Debian archive, https://deb.debian.org/debian/pool/main/p/pasmo/
(pasmo_$version.dsc and the files it names; on Debian, apt-get source pasmo=$version),
and upstream at http://pasmo.speccy.org/. Brindlehof's scripts/build-pasmo-windows.sh
is how it was built.
NOTE
touch "$out/.complete"
echo "$out"
