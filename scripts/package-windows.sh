#!/bin/sh
# Packs the Windows build: package-windows.sh BUILD QT PASMO OUT. The zip holds the program, every
# DLL it loads (Qt's, its plugins' and mingw's runtime, found by following their imports), the
# platform and style plugins, the DejaVu Sans Mono faces, pasmo.exe from the folder PASMO, the
# example source, the Windows asm.bat and a README. The unpacked folder stays beside the zip's
# folder in BUILD/zip for the setup.
set -eu
build=$1 qt=$2 pasmo=$3 out=$4
top=$(cd "$(dirname "$0")/.." && pwd)
version=$(sed -n 's/.*"FileVersion", "\(.*\)"/\1/p' "$top/resources/brindlehof.rc")
name=brindlehof-$version-win64
stage=$build/zip/$name
rm -rf "$build/zip"
mkdir -p "$stage/platforms" "$stage/styles" "$stage/fonts" "$out"

cp "$build/brindlehof.exe" "$stage/"
cp "$qt/plugins/platforms/qwindows.dll" "$stage/platforms/"
cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"

# Every DLL imported, directly or through another, that is not the system's own.
mingw=/usr/x86_64-w64-mingw32/lib
gcc=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
imports() {
    x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^[[:space:]]*DLL Name: //p'
}
pending=$(find "$stage" -name '*.exe' -o -name '*.dll')
while [ -n "$pending" ]; do
    next=""
    for file in $pending; do
        for dll in $(imports "$file"); do
            [ -e "$stage/$dll" ] && continue
            for dir in "$qt/bin" "$gcc" "$mingw"; do
                if [ -f "$dir/$dll" ]; then
                    cp "$dir/$dll" "$stage/"
                    next="$next $stage/$dll"
                    break
                fi
            done
        done
    done
    pending=$next
done

# mingw's runtime DLLs come with their symbols: 30 MB of the zip's 60.
find "$stage" -name '*.dll' -exec x86_64-w64-mingw32-strip --strip-unneeded {} +

cp "$top/examples/demo.z80" "$top/examples/windows/asm.bat" "$pasmo"/pasmo* "$stage/"
# The text box and Print use the same face as on Linux; the program loads them for itself.
dejavu=/usr/share/fonts/truetype/dejavu
cp "$dejavu/DejaVuSansMono.ttf" "$dejavu/DejaVuSansMono-Bold.ttf" "$stage/fonts/"
sed 's/$/\r/' /usr/share/doc/fonts-dejavu-core/copyright > "$stage/fonts/DejaVu-LICENSE.txt"
# Notepad shows a README with bare LFs as one line.
sed 's/$/\r/' "$top/resources/windows-readme.txt" > "$stage/README.txt"

rm -f "$out/$name.zip"
(cd "$build/zip" && zip -qr9X - "$name") > "$out/$name.zip"
echo "$out/$name.zip"
