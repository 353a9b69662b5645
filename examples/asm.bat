#!/bin/sh
# Assembles NAME.z80 into NAME.bin with pasmo, the Z80 assembler from Debian's packages, and
# writes what the assembler says to NAME.log. Brindlehof's Compile command starts it as
#     asm.bat NAME
# in the editor's working folder and neither waits for it nor reads its output: NAME.log is
# where to look. Words after NAME are ignored.
set -u
if [ $# -lt 1 ] || [ -z "$1" ]; then
    echo "usage: asm.bat NAME   (assembles NAME.z80 into NAME.bin, messages in NAME.log)" >&2
    exit 2
fi
name=$1
# A name that starts with a dash would read as an option.
case $name in -*) name=./$name ;; esac
log=$name.log

# A binary left from an earlier run must not pass for the result of this one.
rm -f "$name.bin"
if ! command -v pasmo >/dev/null 2>&1; then
    echo "asm.bat: pasmo is not installed (Debian package pasmo; make run installs it)" >"$log"
    exit 127
fi
if pasmo "$name.z80" "$name.bin" >"$log" 2>&1; then
    echo "asm.bat: $name.z80 assembled into $name.bin" >>"$log"
else
    status=$?
    echo "asm.bat: $name.z80 not assembled (pasmo exit status $status)" >>"$log"
    exit $status
fi
