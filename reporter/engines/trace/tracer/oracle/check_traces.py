#!/usr/bin/env python3
"""Real compiled code as the tracer's oracle.

Builds programs.c as i686 DLLs (-O0 with frame pointers, -O2 without),
runs each entry in an x86 emulator up to its fault while a call/return hook
keeps the true shadow stack, dumps stack, registers and image as a fixture,
traces the fixture with the tracer and compares its frames with the true
ones. Prints per case the frames right, missing and extra, and how many stale
return addresses of finished calls the scanned stack held; fails when a
case has any missing or extra frame.

usage: check_traces.py <trace_fixture tool> <work folder>
"""
import os
import struct
import subprocess
import sys

from unicorn import Uc, UcError, UC_ARCH_X86, UC_MODE_32, UC_HOOK_CODE, UC_PROT_ALL
from unicorn.x86_const import UC_X86_REG_EIP, UC_X86_REG_ESP, UC_X86_REG_EBP

HERE = os.path.dirname(os.path.abspath(__file__))
STACK_BASE, STACK_SIZE = 0x00100000, 0x10000
SENTINEL = 0x00DEAD00  # the entry's return address: unmapped
BUILDS = {"O0-fp": ["-O0", "-fno-omit-frame-pointer"],
          "O2-nofp": ["-O2", "-fomit-frame-pointer", "-fno-optimize-sibling-calls"]}
ENTRIES = ["entry_chain", "entry_recursion", "entry_pointer", "entry_stale", "entry_badjump",
           "entry_mixed"]
MAX_INSTRUCTIONS = 100000


def build(work, name, flags):
    dll = os.path.join(work, "programs-%s.dll" % name)
    subprocess.run(["i686-w64-mingw32-gcc", *flags, "-nostdlib", "-shared", "-o", dll,
                    os.path.join(HERE, "programs.c"), "-Wl,--image-base=0x10000000",
                    "-Wl,-e,_DllMainCRTStartup@12"], check=True)
    return dll


def symbols(dll):
    out = subprocess.run(["i686-w64-mingw32-nm", "--defined-only", dll], check=True,
                         capture_output=True, text=True).stdout
    table = {}
    for line in out.splitlines():
        parts = line.split()
        if len(parts) == 3 and parts[1] in "tT":
            table[parts[2].lstrip("_")] = int(parts[0], 16)
    return table


def pe_layout(data):
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections = struct.unpack_from("<H", data, pe + 6)[0]
    optional_size = struct.unpack_from("<H", data, pe + 20)[0]
    optional = pe + 24
    image_base, = struct.unpack_from("<I", data, optional + 28)
    image_size, = struct.unpack_from("<I", data, optional + 56)
    headers_size, = struct.unpack_from("<I", data, optional + 60)
    image = bytearray(image_size)
    image[:headers_size] = data[:headers_size]
    table = optional + optional_size
    for i in range(sections):
        s = table + 40 * i
        vsize, va, raw_size, raw_ptr = struct.unpack_from("<IIII", data, s + 8)
        n = min(raw_size, vsize or raw_size)
        image[va:va + n] = data[raw_ptr:raw_ptr + n]
    return image_base, bytes(image)


def emulate(image_base, image, entry):
    """Runs `entry` to its fault; returns registers, stack bytes and the
    true frames (the fault, then each live call, innermost first)."""
    uc = Uc(UC_ARCH_X86, UC_MODE_32)
    size = (len(image) + 0xFFF) & ~0xFFF
    uc.mem_map(image_base, size, UC_PROT_ALL)
    uc.mem_write(image_base, image)
    uc.mem_map(STACK_BASE, STACK_SIZE, UC_PROT_ALL)
    esp = STACK_BASE + STACK_SIZE - 0x100
    uc.mem_write(esp, struct.pack("<I", SENTINEL))
    uc.reg_write(UC_X86_REG_ESP, esp)
    shadow = []
    returns = set()
    count = [0]

    def on_code(uc, address, length, _):
        count[0] += 1
        if count[0] > MAX_INSTRUCTIONS:
            uc.emu_stop()
        code = bytes(uc.mem_read(address, length))
        op = code[0]
        if op == 0xE8 or (op == 0xFF and length >= 2 and (code[1] >> 3) & 7 in (2, 3)):
            shadow.append((address, address + length))
            returns.add(address + length)
        elif op in (0xC3, 0xC2) and shadow:
            shadow.pop()

    uc.hook_add(UC_HOOK_CODE, on_code)
    try:
        uc.emu_start(entry, SENTINEL)
    except UcError:
        pass
    eip = uc.reg_read(UC_X86_REG_EIP)
    esp = uc.reg_read(UC_X86_REG_ESP)
    ebp = uc.reg_read(UC_X86_REG_EBP)
    # The faulting instruction, then the calls still open.
    calls = [eip] + [call for call, _ in reversed(shadow)]
    frames = as_listed(calls)
    stack = bytes(uc.mem_read(STACK_BASE, STACK_SIZE))
    return eip, esp, ebp, stack, frames, returns, shadow, len(calls)


def as_listed(calls):
    """The true calls (innermost first) as a listing shows them: a run of
    calls that repeats the run just outside it is a recursion shown once
    (its outermost copy), a run holding the fault is kept, and consecutive
    equal addresses are shown once."""
    seq = list(reversed(calls))  # outermost first
    changed = True
    while changed:
        changed = False
        for i in range(len(seq) - 1, 0, -1):
            k = next((q for q in range(i - 1, -1, -1) if seq[q] == seq[i]), None)
            if k is None:
                continue
            j = i - k - 1
            if k < j or seq[k - j:k] != seq[k + 1:i] or i == len(seq) - 1:
                continue
            del seq[k + 1:i + 1]
            changed = True
            break
    listed = list(reversed(seq))
    return [a for n, a in enumerate(listed) if n == 0 or listed[n - 1] != a]


def stale_returns(stack, esp, returns, live):
    """Return addresses of finished calls still lying in the scanned range."""
    values = struct.unpack_from("<%dI" % ((STACK_SIZE - (esp - STACK_BASE)) // 4), stack, esp - STACK_BASE)
    return sum(1 for v in values if v in returns and v not in live)


def compare(case, command, frames, stale, calls):
    """Traces one fixture and prints how its frames match the true ones;
    1 when they differ."""
    out = subprocess.run(command, capture_output=True, text=True)
    if out.returncode != 0:
        print("%s: the tool failed: %s" % (case, out.stderr.strip()))
        return 1
    traced = [int(line.split()[0], 16) for line in out.stdout.splitlines() if line.strip()]
    right = sum(1 for a in traced if a in frames)
    missing = [a for a in frames if a not in traced]
    extra = [a for a in traced if a not in frames]
    in_order = [a for a in traced if a in frames] == [a for a in frames if a in traced]
    print("%-34s %5d %5d %7d %5d %5d%s" % (case, calls, right, len(missing), len(extra), stale,
                                           "" if in_order else " (order!)"))
    if not (missing or extra or not in_order):
        return 0
    print("   true:   " + " ".join("%08x" % a for a in frames))
    print("   traced: " + " ".join("%08x" % a for a in traced))
    print("   " + out.stdout.replace("\n", "\n   "))
    return 1


def main():
    tool, work = sys.argv[1], sys.argv[2]
    os.makedirs(work, exist_ok=True)
    failures = 0
    # calls: true frames before recursion is folded; right, missing, extra:
    # against the folded ones; stale: returns of finished calls in the scan.
    print("%-34s %5s %5s %7s %5s %5s" % ("case", "calls", "right", "missing", "extra", "stale"))
    for build_name, flags in BUILDS.items():
        dll = build(work, build_name, flags)
        table = symbols(dll)
        image_base, image = pe_layout(open(dll, "rb").read())
        for entry in ENTRIES:
            eip, esp, ebp, stack, frames, returns, shadow, calls = emulate(image_base, image, table[entry])
            live = set(after for _, after in shadow)
            stale = stale_returns(stack, esp, returns, live)
            case = "%s %s" % (build_name, entry)
            prefix = os.path.join(work, "%s-%s" % (build_name, entry))
            with open(prefix + ".stack", "wb") as f:
                f.write(stack)
            with open(prefix + ".txt", "w") as f:
                f.write("image %s\n" % dll)
                f.write("stack %x %x\n" % (STACK_BASE, STACK_BASE + STACK_SIZE))
                f.write("registers %x %x %x\n" % (eip, esp, ebp))
                for name, address in sorted(table.items(), key=lambda kv: kv[1]):
                    f.write("symbol %x %s\n" % (address, name))
            for mode, extra_args in (("", []), (" no-fp", ["no-frame-pointer"])):
                failures += compare(case + mode, [tool, prefix + ".txt", prefix + ".stack", *extra_args],
                                    frames, stale, calls)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
