#!/usr/bin/env bash
# One private Wine session for a whole test run: a virtual display (Xvfb), a Wine prefix and a
# persistent wineserver, all kept in STATE_DIR.
#   wine-session.sh start STATE_DIR   starts them (the prefix is made once and kept)
#   wine-session.sh stop STATE_DIR    stops the display and the server
#   wine-session.sh env STATE_DIR     prints the variables for a running session
set -euo pipefail

cmd=${1:?start, stop or env}
state=$(mkdir -p "${2:?state directory}" && cd "$2" && pwd)
prefix="$state/prefix"
here=$(cd "$(dirname "$0")" && pwd)

export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

display_alive() {
    [[ -f "$state/display" && -f "$state/xvfb.pid" ]] || return 1
    kill -0 "$(cat "$state/xvfb.pid")" 2>/dev/null
}

start_display() {
    local n
    for n in $(seq 91 140); do
        [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] && continue
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >"$state/xvfb.log" 2>&1 </dev/null &
        local pid=$!
        for _ in $(seq 1 100); do
            [[ -e /tmp/.X11-unix/X$n ]] && break
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.05
        done
        if [[ -e /tmp/.X11-unix/X$n ]] && kill -0 "$pid" 2>/dev/null; then
            echo "$pid" >"$state/xvfb.pid"
            echo ":$n" >"$state/display"
            return 0
        fi
    done
    echo "wine-session: no virtual display could be started" >&2
    return 1
}

case "$cmd" in
start)
    display_alive || start_display
    export DISPLAY=$(cat "$state/display")
    # Made ready as the release's launcher makes its own, fonts included; a prefix of an older
    # run gets what it lacks.
    CORVANE_WINEPREFIX="$prefix" "$here/corvane" --prepare-prefix </dev/null
    if [[ ! -f "$prefix/.corvane-ready" ]]; then
        # Unmanaged windows: hiding a window then costs nothing instead of a two-second wait.
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
        wineserver -w
        touch "$prefix/.corvane-ready"
    fi
    # CTest waits for every process that holds its pipes, so the server and Wine's own
    # background programs (services, the desktop) are started here, detached from them.
    # A server that is already running (a session started by hand) refuses a second one.
    wineserver -p >/dev/null 2>&1 </dev/null || true
    wine cmd /c exit >/dev/null 2>&1 </dev/null
    ;;
stop)
    if [[ -d "$prefix" ]]; then wineserver -k 2>/dev/null || true; fi
    if [[ -f "$state/xvfb.pid" ]]; then
        kill "$(cat "$state/xvfb.pid")" 2>/dev/null || true
        rm -f "$state/xvfb.pid" "$state/display"
    fi
    ;;
env)
    display_alive || exit 1
    echo "export DISPLAY=$(cat "$state/display") WINEPREFIX='$prefix' WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='"
    ;;
*)
    echo "usage: wine-session.sh start|stop|env STATE_DIR" >&2
    exit 2
    ;;
esac
