#!/usr/bin/env bash
# Installs, when missing, what building and testing need on Debian; with the
# argument "guest", only what the i386 guest needs (scripts/i386-guest).
set -euo pipefail

need=()
have_cmd() { command -v "$1" >/dev/null 2>&1; }
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

if [ "${1:-}" = guest ]; then
  wanted=(qemu-system-x86 qemu-user-static debootstrap e2fsprogs)
else
  wanted=(cmake ninja-build g++ clang libclang-rt-dev googletest zlib1g-dev \
           g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64 \
           libz-mingw-w64-dev wine64 wine xvfb python3 unzip libzydis-dev libcapstone-dev \
           p7zip-full pngcheck python3-pil imagemagick libpng-dev lld llvm \
           python3-aiosmtpd python3-dnspython python3-unicorn python3-multipart php-cli php-soap python3-bugzilla curl openssl exim4-daemon-light)
fi
for pkg in "${wanted[@]}"; do
  have_pkg "$pkg" || need+=("$pkg")
done

if [ ${#need[@]} -gt 0 ]; then
  echo "Installing: ${need[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq || true
  $sudo apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi
