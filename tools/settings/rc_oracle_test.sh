#!/usr/bin/env bash
# The resource script that ruvex-settings writes is compiled by windres, and
# the compiled resource holds exactly the block the tool wrote.
set -euo pipefail
tool=$1 description=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$tool" rc "$description" "$work/settings.rc"
grep -qx 'TRUVEXEXCEPT RCDATA "settings.bin"' "$work/settings.rc"
(cd "$work" && x86_64-w64-mingw32-windres settings.rc -O coff -o settings.o)
# The resource data as hexadecimal, from objdump's dump of .rsrc.
dump=$(x86_64-w64-mingw32-objdump -s -j .rsrc "$work/settings.o" | awk 'NR>4 {print $2 $3 $4 $5}' | tr -d '\n')
block=$(od -An -v -tx1 "$work/settings.bin" | tr -d ' \n')
case "$dump" in
  *"$block"*) echo "resource holds the ${#block}-digit block" ;;
  *) echo "block not found in the compiled resource"; exit 1 ;;
esac
# Bad input is refused with exit code 1 and leaves no output behind.
printf 'Enabled = maybe?\n' > "$work/bad.txt"
if "$tool" block "$work/bad.txt" "$work/bad.bin" 2>"$work/err.txt"; then echo "bad input accepted"; exit 1; fi
grep -q 'line 1' "$work/err.txt"
[ ! -e "$work/bad.bin" ]
