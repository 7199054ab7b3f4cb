#!/usr/bin/env bash
# The shipped programs must be GUI-subsystem images of the right machine.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
check() {  # file, expected objdump format, expected machine text
  local file=$1 format=$2
  local head; head=$(x86_64-w64-mingw32-objdump -p "$file")
  grep -q "file format $format" <<<"$head" || { echo "$file: not $format"; return 1; }
  grep -Eq '^Subsystem[[:space:]]+00000002' <<<"$head" || { echo "$file: not a GUI-subsystem program"; return 1; }
  echo "$file: $format, GUI subsystem"
}
check "$root/build/win32/bin/Kelvane.exe" pei-i386
check "$root/build/win64/bin/Kelvane.exe" pei-x86-64
