#!/usr/bin/env bash
# Runs a Windows test program under wine64 in the build's private prefix.
# The program's output goes through a file: wine's helper processes may keep
# inherited pipe handles open, which would make the caller wait forever.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
: "${KELVANE_WINEPREFIX:?set by CMake to the private prefix of the build}"
export WINEPREFIX=$KELVANE_WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
"$here/wine-prefix.sh" "$WINEPREFIX" || exit 1
out=$(mktemp)
trap 'rm -f "$out"' EXIT
wine "$@" >"$out" 2>&1 </dev/null
rc=$?
cat "$out"
exit $rc
