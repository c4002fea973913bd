#!/usr/bin/env bash
# Starts or stops the persistent Wine server of a test prefix.
# Usage: wine-session.sh start|stop <prefix>
# Wine's background processes inherit the descriptors of whoever starts them; started from inside
# CTest they would hold its pipes open and every test would wait for them. So the server and a
# warm-up process are started here with every descriptor detached.
set -euo pipefail
action=$1
prefix=$(cd "$2" 2>/dev/null && pwd || echo "$2")
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
unset DISPLAY
here=$(cd "$(dirname "$0")" && pwd)
pidfile=$prefix/.server-pid
running() { [ -f "$pidfile" ] && kill -0 "$(cat "$pidfile")" 2>/dev/null; }
case $action in
  start)
    running && exit 0
    "$here/wine-prefix.sh" "$prefix"
    exec 9>"$prefix/.server-lock"
    flock 9
    running && exit 0
    setsid wineserver -f -p </dev/null >/dev/null 2>&1 9>&- &
    echo $! > "$pidfile"
    setsid wine cmd /c exit </dev/null >/dev/null 2>&1 9>&- || true
    ;;
  stop)
    [ -d "$prefix" ] || exit 0
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    rm -f "$pidfile"
    ;;
  *) echo "usage: wine-session.sh start|stop <prefix>" >&2; exit 2 ;;
esac
