#!/bin/sh
# Assembles NAME.z80 into NAME.bin with pasmo, the Z80 assembler from Debian's packages, and
# leaves pasmo's listing in NAME.lst and its symbols in NAME.sym beside it. Brindlehof's Compile
# command starts it as
#     asm.bat NAME
# in the editor's working folder and neither waits for it nor reads its output, so the result is
# one line: "NAME.z80 assembled into NAME.bin, N bytes" or the first error with its line. It goes
# to standard error, to NAME.log, and to the desktop as a notification where notify-send exists.
# Words after NAME are ignored.
set -u
if [ $# -lt 1 ] || [ -z "$1" ]; then
    echo "usage: asm.bat NAME   (assembles NAME.z80 into NAME.bin)" >&2
    exit 2
fi
name=$1
# A name that starts with a dash would read as an option.
case $name in -*) name=./$name ;; esac
log=$name.log

report() {
    echo "$1" >"$log"
    echo "$1" >&2
    # In the background: without a notification service it may wait for one.
    if command -v notify-send >/dev/null 2>&1; then
        notify-send --app-name=Brindlehof --icon=brindlehof "asm.bat" "$1" >/dev/null 2>&1 &
    fi
}

# Results left from an earlier run must not pass for those of this one.
rm -f "$name.bin" "$name.lst" "$name.sym"
if ! command -v pasmo >/dev/null 2>&1; then
    report "asm.bat: pasmo is not installed (Debian package pasmo)"
    exit 127
fi
# pasmo writes its listing (-d) to standard output and its errors to standard error.
errors=$(pasmo -d "$name.z80" "$name.bin" "$name.sym" 2>&1 >"$name.lst")
status=$?
if [ $status -eq 0 ]; then
    report "$name.z80 assembled into $name.bin, $(wc -c <"$name.bin" | tr -d ' ') bytes"
    exit 0
fi
# "ERROR on line 3 of file demo.z80" then "ERROR: what went wrong": one line of the two.
where=$(printf '%s\n' "$errors" | sed -n 's/^ERROR on line \([0-9]*\) of file \(.*\)$/\2 line \1/p' | head -n 1)
what=$(printf '%s\n' "$errors" | sed -n 's/^ERROR: //p' | head -n 1)
report "${where:-$name.z80 not assembled}: ${what:-pasmo exit status $status}"
exit $status
