#!/usr/bin/env bash
# The Wine stage's prefix and server (WINEPREFIX and WINEARCH come from the
# test's environment):
#   start  make the prefix if this build tree has none yet, then leave a
#          persistent wineserver running for the runs that follow
#   stop   end that server
set -euo pipefail

: "${WINEPREFIX:?WINEPREFIX is not set}"
# The prefix is removed when half-made: make sure it is ours.
case "$WINEPREFIX" in
*/wineprefix) ;;
*)
    echo "wine_server.sh: refusing prefix $WINEPREFIX (expected <build>/wineprefix)" >&2
    exit 2
    ;;
esac
ready="$WINEPREFIX/.k729-ready"
# Wine's own processes (services, device drivers) outlive the program that
# started them and inherit its output: were that ctest's pipe, ctest would wait
# for them until the server ends. So everything Wine starts here writes to a
# log instead.
log="$WINEPREFIX.log"
# If the stop step never comes (an interrupted ctest), the server still ends
# this many seconds after its last client.
idle_seconds=300

case "${1:-}" in
start)
    if [ ! -f "$ready" ]; then
        echo "wine_server.sh: creating the prefix $WINEPREFIX"
        wineserver -k 2>/dev/null || true
        rm -rf "$WINEPREFIX" "$log"
        mkdir -p "$(dirname "$WINEPREFIX")"
        started=$(date +%s)
        if ! wineboot --init </dev/null >"$log" 2>&1 || ! wineserver -w; then
            echo "wine_server.sh: wineboot failed; its output:" >&2
            cat "$log" >&2
            exit 1
        fi
        touch "$ready"
        echo "wine_server.sh: prefix ready in $(($(date +%s) - started)) s"
    fi
    # A server left by an interrupted stage may not be persistent; a second
    # one would not start beside it.
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w
    # The server detaches; its output must not hold ctest's pipes open.
    wineserver -p"$idle_seconds" </dev/null >/dev/null 2>&1
    # A first trivial run: the server answers, the prefix is usable, and the
    # services every run needs are up before the first test.
    if ! wine cmd /c exit 0 </dev/null >>"$log" 2>&1; then
        echo "wine_server.sh: a trivial run failed; the log:" >&2
        tail -n 40 "$log" >&2
        exit 1
    fi
    echo "wine_server.sh: wineserver running for $WINEPREFIX"
    ;;
stop)
    wineserver -k 2>/dev/null || true
    ;;
*)
    echo "usage: wine_server.sh start|stop" >&2
    exit 2
    ;;
esac
