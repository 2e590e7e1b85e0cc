#!/usr/bin/env bash
# Runs a Windows program under Wine. Inside a test run it joins the session that the run started
# (CORVANE_WINE_STATE); on its own it starts a session for this one program and stops it after.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
state=${CORVANE_WINE_STATE:-$here/../build/wine}
own=0
if [[ -z "$state" ]] || ! "$here/wine-session.sh" env "$state" >/dev/null 2>&1; then
    "$here/wine-session.sh" start "$state" || exit 1
    own=1
fi
eval "$("$here/wine-session.sh" env "$state")"
wine "$@"
rc=$?
[[ $own -eq 1 ]] && "$here/wine-session.sh" stop "$state"
exit $rc
