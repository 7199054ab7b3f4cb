#!/usr/bin/env bash
# Runs a Windows test program under wine64 on a private X display (Xvfb), in
# a private wine prefix of its own: real windows, real screen pixels.
#   run-desktop.sh <program.exe> <wine prefix> <artefact folder>
set -u
exe=$1 prefix=$(realpath -m "$2") artefacts=$(realpath -m "$3")
mkdir -p "$artefacts" "$prefix"
display=""
for n in $(seq 57 120); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=$n; break; fi
done
[ -n "$display" ] || { echo "no free X display"; exit 1; }
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 </dev/null &
xvfb=$!
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=":$display"
cleanup() { wineserver -k >/dev/null 2>&1; kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; }
trap cleanup EXIT
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
kill -0 "$xvfb" 2>/dev/null || { echo "Xvfb did not start on :$display"; exit 1; }
if [ ! -f "$prefix/.kelvane-ready" ]; then
  wineboot -i >/dev/null 2>&1 </dev/null
  # No window manager runs on the private display: wine must not wait for
  # one each time a window appears or goes.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 </dev/null
  wineserver -w
  touch "$prefix/.kelvane-ready"
fi
out=$(mktemp)
KELVANE_ARTEFACT_DIR=$(winepath -w "$artefacts" 2>/dev/null) wine "$exe" "${@:4}" >"$out" 2>&1 </dev/null
rc=$?
cat "$out"
rm -f "$out"
exit $rc
