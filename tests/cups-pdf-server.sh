#!/bin/sh
# A private CUPS server whose default printer is a cups-pdf queue writing PDFs into DIR/out.
#
#   cups-pdf-server.sh start DIR   starts cupsd in the background, adds the queue, sets it as the
#                                  default; clients then follow CUPS_SERVER=DIR/cups.sock
#   cups-pdf-server.sh idle DIR    waits until every job has left the queue
#   cups-pdf-server.sh stop DIR    stops that cupsd and removes what start put outside DIR
#
# Exit status 77 with the reason on stderr: cupsd cannot start here, so the caller skips.
# Nothing here touches the machine's own CUPS: every directory is under DIR, which must be an
# absolute path short enough for a socket name (about 90 characters).
set -eu

usage() { echo "usage: $0 start|idle|stop DIR" >&2; exit 2; }
[ $# -eq 2 ] || usage
action=$1
dir=$2
case "$dir" in /*) ;; *) usage ;; esac

socket=$dir/cups.sock
backend=/usr/lib/cups/backend/cups-pdf
ppd=/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd

# cups-pdf reads its settings only from /etc/cups/cups-pdf-INSTANCE.conf, where INSTANCE is the
# path of the queue's device URI; a name of our own keeps parallel runs apart.
instance_file() { echo "$dir/instance"; }
settings_file() { echo "/etc/cups/cups-pdf-$(cat "$(instance_file)").conf"; }

cannot_start() { echo "cupsd cannot start here: $*" >&2; exit 77; }

# lpstat -r exits 0 even when the scheduler is down: only its text tells.
scheduler_up() { CUPS_SERVER=$socket lpstat -r 2>/dev/null | grep -qx "scheduler is running"; }

write_config() {
    mkdir -p "$dir/root/ppd" "$dir/spool" "$dir/tmp" "$dir/cache" "$dir/state" "$dir/log" \
        "$dir/out" "$dir/cups-pdf-spool"
    # Filters run as lp: they must reach the spool and the temporary folder.
    chmod 755 "$dir" "$dir/root"
    chgrp lp "$dir/spool" "$dir/tmp" "$dir/cache"
    chmod 1770 "$dir/tmp"
    chmod 710 "$dir/spool"
    chmod 770 "$dir/cache"
    cat >"$dir/cupsd.conf" <<EOF
Listen $socket
Browsing No
BrowseLocalProtocols none
WebInterface No
LogLevel warn
MaxLogSize 0
DefaultAuthType None
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order allow,deny
    Allow all
  </Limit>
</Policy>
EOF
    cat >"$dir/cups-files.conf" <<EOF
ServerRoot $dir/root
RequestRoot $dir/spool
TempDir $dir/tmp
CacheDir $dir/cache
StateDir $dir/state
AccessLog $dir/log/access_log
ErrorLog $dir/log/error_log
PageLog $dir/log/page_log
SystemGroup root
User lp
Group lp
EOF
}

start() {
    command -v cupsd >/dev/null || PATH=$PATH:/usr/sbin
    command -v cupsd >/dev/null || cannot_start "cupsd is not installed (package cups)"
    [ "$(id -u)" -eq 0 ] || cannot_start "it needs root (the cups-pdf backend runs only as root)"
    [ -x "$backend" ] || cannot_start "the cups-pdf backend is missing (printer-driver-cups-pdf)"
    [ -f "$ppd" ] || cannot_start "$ppd is missing (printer-driver-cups-pdf)"
    command -v pdftocairo >/dev/null || cannot_start "pdftocairo is missing (poppler-utils)"

    write_config
    echo "brindlehof-$$" >"$(instance_file)"
    cat >"$(settings_file)" <<EOF
Out $dir/out
AnonDirName $dir/out
Spool $dir/cups-pdf-spool
Log $dir/log
LogType 1
EOF

    # Bounded: a test that dies before it can stop the server leaves no cupsd behind for long.
    timeout 300 cupsd -f -c "$dir/cupsd.conf" -s "$dir/cups-files.conf" >"$dir/log/cupsd.out" 2>&1 &
    echo $! >"$dir/cupsd.pid"
    tries=0
    until scheduler_up; do
        tries=$((tries + 1))
        if ! kill -0 "$(cat "$dir/cupsd.pid")" 2>/dev/null; then
            rm -f "$(settings_file)"
            cannot_start "cupsd exited: $(cat "$dir/log/cupsd.out" "$dir/log/error_log" 2>/dev/null)"
        fi
        [ $tries -lt 200 ] || { stop; echo "cupsd did not answer within 10 s" >&2; exit 1; }
        sleep 0.05
    done

    export CUPS_SERVER="$socket"
    # Only the pdftocairo renderer gives a PDF whose text can be read back.
    # lpadmin warns that printer drivers are deprecated: keep that out of the test's output.
    if ! lpadmin -p PDF -E -v "cups-pdf:/$(cat "$(instance_file)")" -P "$ppd" \
        -o pdftops-renderer-default=pdftocairo 2>"$dir/log/lpadmin.out" || ! lpadmin -d PDF; then
        cat "$dir/log/lpadmin.out" >&2
        stop
        exit 1
    fi
}

idle() {
    tries=0
    # A job is done when the queue is empty; cups-pdf writes the file in place before that.
    while [ -n "$(CUPS_SERVER=$socket lpstat -o 2>/dev/null)" ]; do
        tries=$((tries + 1))
        [ $tries -lt 1200 ] || { echo "jobs still queued after 60 s" >&2; exit 1; }
        sleep 0.05
    done
}

stop() {
    if [ -f "$dir/cupsd.pid" ]; then
        pid=$(cat "$dir/cupsd.pid")
        kill "$pid" 2>/dev/null || true
        tries=0
        while kill -0 "$pid" 2>/dev/null && [ $tries -lt 100 ]; do
            tries=$((tries + 1))
            sleep 0.05
        done
        rm -f "$dir/cupsd.pid"
    fi
    [ -f "$(instance_file)" ] && rm -f "$(settings_file)" "$(instance_file)"
    return 0
}

case "$action" in
start) start ;;
idle) idle ;;
stop) stop ;;
*) usage ;;
esac
