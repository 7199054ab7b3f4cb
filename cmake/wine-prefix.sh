#!/usr/bin/env bash
# Creates (once, under a lock) and keeps alive a private wine prefix.
set -u
prefix=$1
mkdir -p "$prefix"
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
# Wine's processes must not inherit the lock's descriptor (9>&-): a daemon
# holding it would block every later caller.
(
  flock 9
  if [ ! -f "$prefix/.kelvane-ready" ]; then
    wineboot -i >/dev/null 2>&1 </dev/null 9>&-
    wineserver -w 9>&-
    touch "$prefix/.kelvane-ready"
  fi
) 9>"$prefix.lock"
# A server that outlives each program saves its start-up for the next one.
wineserver -p60 >/dev/null 2>&1 </dev/null || true  # fails harmlessly when one runs already
