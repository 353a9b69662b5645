#!/bin/sh
# start|stop DIR: a private CUPS server whose default queue, a cups-pdf printer, writes PDFs into
# DIR/out (absolute, short); clients follow CUPS_SERVER=DIR/cups.sock. Exit status 77: cupsd
# cannot start here. The reason for a failure goes to stderr.
set -eu
dir=$2
export CUPS_SERVER="$dir/cups.sock" PATH="$PATH:/usr/sbin"
# cups-pdf reads its settings only from /etc/cups/cups-pdf-INSTANCE.conf, INSTANCE being the
# path of the queue's device URI; the folder's unique name keeps parallel runs apart.
instance=brindlehof-$(basename "$dir")
settings=/etc/cups/cups-pdf-$instance.conf
fail() { echo "$2" >&2; stop; exit "$1"; }

stop() {
    pid=$(cat "$dir/cupsd.pid" 2>/dev/null) && kill "$pid" 2>/dev/null &&
        timeout 5 tail --pid="$pid" -f /dev/null || true
    rm -f "$dir/cupsd.pid" "$settings"
}

start() {
    [ "$(id -u)" -eq 0 ] || fail 77 "cupsd cannot start here: the cups-pdf backend runs only as root"
    cd "$dir" && mkdir -p root spool tmp cache state out
    chmod 755 . && chgrp lp tmp && chmod 1770 tmp # filters run as lp, with a folder of their own
    printf '%s\n' "Listen $CUPS_SERVER" "Browsing No" "BrowseLocalProtocols none" \
        "<Policy default>" "<Limit All>" "Allow all" "</Limit>" "</Policy>" >cupsd.conf
    printf '%s\n' "ServerRoot $dir/root" "RequestRoot $dir/spool" "TempDir $dir/tmp" \
        "CacheDir $dir/cache" "StateDir $dir/state" "AccessLog stderr" "ErrorLog stderr" \
        "PageLog stderr" "SystemGroup root" "User lp" "Group lp" >cups-files.conf
    printf '%s\n' "Out $dir/out" "AnonDirName $dir/out" "Spool $dir/pdf-spool" "Log $dir" >"$settings"
    # Bounded: a test that dies before it can stop the server leaves no cupsd behind for long.
    timeout 150 cupsd -f -c "$dir/cupsd.conf" -s "$dir/cups-files.conf" >cupsd.log 2>&1 &
    echo $! >cupsd.pid
    i=0 # lpstat -r exits 0 even when the scheduler is down: only its text tells.
    until lpstat -r 2>/dev/null | grep -qx "scheduler is running"; do
        kill -0 $! 2>/dev/null || fail 77 "cupsd cannot start here: $(cat cupsd.log)"
        [ $((i += 1)) -lt 200 ] || fail 1 "cupsd did not answer within 10 s"
        sleep 0.05
    done
    # Only pdftocairo renders text that can be read back. lpadmin warns that drivers are deprecated.
    lpadmin -p PDF -E -v "cups-pdf:/$instance" -P /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd \
        -o pdftops-renderer-default=pdftocairo 2>lpadmin.log && lpadmin -d PDF ||
        fail 1 "$(cat lpadmin.log)"
}

case $1 in start | stop) "$1" ;; *) echo "usage: $0 start|stop DIR" >&2 && exit 2 ;; esac
