#!/bin/sh
# Builds the Windows setup from the program's folder with NSIS: package-setup.sh FOLDER OUT.
# FOLDER is what the zip holds; the setup installs it per user (resources/brindlehof.nsi).
set -eu
stage=$(cd "$1" && pwd) out=$2
top=$(cd "$(dirname "$0")/.." && pwd)
version=$(sed -n 's/.*"FileVersion", "\(.*\)"/\1/p' "$top/resources/brindlehof.rc")
version4=$(sed -n 's/^FILEVERSION \([0-9]*\),\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1.\2.\3.\4/p' \
    "$top/resources/brindlehof.rc")
work=$(dirname "$stage")/setup
rm -rf "$work" && mkdir -p "$work" "$out"

# What the uninstaller removes: every file, then each folder, deepest first.
(cd "$stage" && find . -type f | sort && find . -mindepth 1 -type d | sort -r) | while read -r path; do
    [ -d "$stage/$path" ] && command=RMDir || command=Delete
    printf '%s "$INSTDIR\\%s"\n' "$command" "$(printf '%s' "${path#./}" | tr / '\\')"
done > "$work/files.nsh"

setup=$(cd "$out" && pwd)/brindlehof-$version-setup.exe
makensis -V2 -NOCD -DSTAGE="$stage" -DFILES="$work/files.nsh" -DOUTFILE="$setup" \
    -DVERSION="$version" -DVERSION4="$version4" -DSIZE_KB="$(du -sk "$stage" | cut -f1)" \
    -DICON="$top/resources/brindlehof.ico" "$top/resources/brindlehof.nsi" >&2
echo "$setup"
