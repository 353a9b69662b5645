#!/bin/sh
# A private CUPS server whose default queue is a cups-pdf printer writing PDFs into DIR/out.
#   start DIR   starts it; clients then follow CUPS_SERVER=DIR/cups.sock
#   stop DIR    stops it and removes what start put outside DIR
# Exit status 77, the reason on stderr: cupsd cannot start here. DIR is absolute and short.
set -eu
dir=$2
export CUPS_SERVER="$dir/cups.sock"
# cups-pdf reads its settings only from /etc/cups/cups-pdf-INSTANCE.conf, INSTANCE being the
# path of the queue's device URI; the folder's unique name keeps parallel runs apart.
instance=brindlehof-$(basename "$dir")
settings=/etc/cups/cups-pdf-$instance.conf
ppd=/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd
PATH=$PATH:/usr/sbin

cannot_start() { echo "cupsd cannot start here: $*" >&2; exit 77; }

stop() {
    if [ -f "$dir/cupsd.pid" ]; then
        kill "$(cat "$dir/cupsd.pid")" 2>/dev/null || true
        timeout 5 tail --pid="$(cat "$dir/cupsd.pid")" -f /dev/null || true
    fi
    rm -f "$dir/cupsd.pid" "$settings"
}

start() {
    command -v cupsd >/dev/null || cannot_start "cupsd is not installed (package cups)"
    [ "$(id -u)" -eq 0 ] || cannot_start "it needs root (the cups-pdf backend runs only as root)"
    [ -f $ppd ] || cannot_start "$ppd is missing (printer-driver-cups-pdf)"
    command -v pdftocairo >/dev/null || cannot_start "pdftocairo is missing (poppler-utils)"
    mkdir -p "$dir/root" "$dir/spool" "$dir/tmp" "$dir/cache" "$dir/state" "$dir/log" "$dir/out"
    chmod 755 "$dir" # filters run as lp, and need a temporary folder of their own
    chgrp lp "$dir/tmp" && chmod 1770 "$dir/tmp"
    printf '%s\n' "Listen $CUPS_SERVER" "Browsing No" "BrowseLocalProtocols none" \
        "<Policy default>" "<Limit All>" "Allow all" "</Limit>" "</Policy>" >"$dir/cupsd.conf"
    printf '%s\n' "ServerRoot $dir/root" "RequestRoot $dir/spool" "TempDir $dir/tmp" \
        "CacheDir $dir/cache" "StateDir $dir/state" "AccessLog $dir/log/access_log" \
        "ErrorLog $dir/log/error_log" "PageLog $dir/log/page_log" "SystemGroup root" "User lp" \
        "Group lp" >"$dir/cups-files.conf"
    printf 'Out %s/out\nAnonDirName %s/out\nSpool %s/pdf-spool\nLog %s/log\n' \
        "$dir" "$dir" "$dir" "$dir" >"$settings"
    # Bounded: a test that dies before it can stop the server leaves no cupsd behind for long.
    timeout 300 cupsd -f -c "$dir/cupsd.conf" -s "$dir/cups-files.conf" >"$dir/log/cupsd" 2>&1 &
    echo $! >"$dir/cupsd.pid"
    tries=0
    # lpstat -r exits 0 even when the scheduler is down: only its text tells.
    until lpstat -r 2>/dev/null | grep -qx "scheduler is running"; do
        kill -0 $! 2>/dev/null || { stop; cannot_start "cupsd exited: $(cat "$dir"/log/*)"; }
        tries=$((tries + 1))
        [ $tries -lt 200 ] || { stop; echo "cupsd did not answer within 10 s" >&2; exit 1; }
        sleep 0.05
    done
    # Only pdftocairo renders text that can be read back. lpadmin warns that drivers are deprecated.
    { lpadmin -p PDF -E -v "cups-pdf:/$instance" -P $ppd -o pdftops-renderer-default=pdftocairo \
        2>"$dir/log/lpadmin" && lpadmin -d PDF; } || { cat "$dir/log/lpadmin" >&2; stop; exit 1; }
}

case $1 in start | stop) "$1" ;; *) echo "usage: $0 start|stop DIR" >&2 && exit 2 ;; esac
