#!/usr/bin/env python3
"""ruvex-settings end to end: `crc` against zlib's CRC-32, and `block`
refusing names and kinds the property table does not allow."""
import os
import shutil
import subprocess
import sys
import zlib

tool, work = sys.argv[1], sys.argv[2]
os.makedirs(work, exist_ok=True)
failures = []


def run(*args):
    return subprocess.run([tool, *args], capture_output=True, text=True, timeout=30)


# The tool carries a checksum slot itself: a copy of it is a real module file.
module = os.path.join(work, "module.bin")
shutil.copyfile(tool, module)
before = open(module, "rb").read()
result = run("crc", module)
after = open(module, "rb").read()
changed = [i for i in range(len(before)) if before[i] != after[i]]
if result.returncode != 0 or len(after) != len(before):
    failures.append(f"crc: exit {result.returncode}, {result.stderr.strip()}")
elif not changed or changed[-1] - changed[0] > 3:
    failures.append(f"crc changed bytes {changed[:8]}, expected only the 4 checksum bytes")
else:
    # The stored value's 4 bytes hold every changed byte (some may have kept their value).
    for s in range(changed[-1] - 3, changed[0] + 1):
        stored = int.from_bytes(after[s:s + 4], "little")
        zeroed = after[:s] + b"\0\0\0\0" + after[s + 4:]
        if zeroed[:s] == before[:s] and before[s + 4:] == after[s + 4:] and zlib.crc32(zeroed) == stored:
            break
    else:
        failures.append("the stored checksum is not zlib's CRC-32 of the file with the slot as zeros")

if run("crc", os.path.join(work, "missing.bin")).returncode != 1:
    failures.append("crc of a missing file did not exit 1")
plain = os.path.join(work, "plain.bin")
open(plain, "wb").write(b"no slot here")
if run("crc", plain).returncode != 1:
    failures.append("crc of a file without a slot did not exit 1")

cases = [
    ("Enabled = True\nEnable = True\n", 1, "line 2: unknown property 'Enable'"),
    ("Enabled = 1\nGnShowCfg = ssNothing\n", 0, ""),
    ("Enabled = True\n\nGnShowCfg = ssEverything\n", 1, "line 3: GnShowCfg takes one of"),
]
for text, code, message in cases:
    description = os.path.join(work, "settings.txt")
    open(description, "w").write(text)
    result = run("block", description, os.path.join(work, "settings.bin"))
    if result.returncode != code or message not in result.stderr:
        failures.append(f"block {text!r}: exit {result.returncode}, {result.stderr.strip()!r}")
shown = run("show", os.path.join(work, "settings.bin")).stdout
if "Enabled = True" not in shown or "GnShowCfg = 4" not in shown:
    failures.append(f"the accepted block reads back as {shown!r}")

for f in failures:
    print("FAIL:", f)
sys.exit(1 if failures else 0)
