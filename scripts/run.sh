#!/usr/bin/env bash
# Starts Corvane under Wine. Without a display it starts a virtual one, saves a screenshot of the
# main window, says where, and exits.
set -euo pipefail
exe=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$(dirname "$exe")/../.." && pwd)
state="$build/wine"
shot="$build/screenshot.png"

if [[ "$(uname -s)" != Linux* ]]; then
    exec "$exe"
fi

if [[ -n "${DISPLAY:-}" ]] && xdpyinfo >/dev/null 2>&1; then
    export WINEPREFIX="$state/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    CORVANE_WINEPREFIX="$WINEPREFIX" "$here/corvane" --prepare-prefix
    exec wine "$exe"
fi

"$here/wine-session.sh" start "$state"
trap '"$here/wine-session.sh" stop "$state"' EXIT
eval "$("$here/wine-session.sh" env "$state")"
wine "$exe" &
pid=$!
window=""
for _ in $(seq 1 100); do
    window=$(xwininfo -root -tree 2>/dev/null | awk '/"Corvane \[v1.1\]"/ {print $1; exit}')
    [[ -n "$window" ]] && break
    sleep 0.1
done
if [[ -z "$window" ]]; then
    echo "run: the main window did not appear" >&2
    kill "$pid" 2>/dev/null || true
    exit 1
fi
sleep 1  # let the controls paint
import -window "$window" "$shot"
kill "$pid" 2>/dev/null || true
wineserver -k 2>/dev/null || true
echo "No display: Corvane ran on a virtual one. Screenshot of the main window: $shot"
