#!/usr/bin/env bash
# Fetches real 32-bit PE images for the tests into build/test-images/: the
# i386 Windows DLLs shipped in Debian's libwine:i386 package. The package is
# downloaded and unpacked, never installed. Quick when the images are there.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
dest="$root/build/test-images"
marker="$dest/.complete"
[ -f "$marker" ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
chmod 755 "$tmp"  # lets apt download as its own unprivileged user
cd "$tmp"
# The i386 index may fail to download in part; the package usually still does.
if ! apt-get download -q libwine:i386 >/dev/null 2>&1; then
  $sudo apt-get update -qq >/dev/null 2>&1 || true
  apt-get download -q libwine:i386 >/dev/null
fi
deb=$(ls libwine_*_i386.deb | head -n1)
dpkg-deb -x "$deb" unpacked

src=$(find unpacked -type d -path '*/wine/i386-windows' | head -n1)
[ -n "$src" ] || { echo "fetch-test-images: no i386-windows folder in $deb" >&2; exit 1; }
mkdir -p "$dest/i386-windows"
cp -a "$src"/. "$dest/i386-windows/"
echo "$deb" >"$marker"
echo "fetch-test-images: $(ls "$dest/i386-windows" | wc -l) images from $deb in $dest"
