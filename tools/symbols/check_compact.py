#!/usr/bin/env python3
"""Round trip of the compact symbol format with an independent writer and
reader: this script's own Blowfish (subkeys from the digits of pi computed
here) and Python's zlib.

1. Writes files in both versions and in the minimal form, and checks that
   `ruvex-symbols --dump` reads back the same tables.
2. Reads what `ruvex-symbols` wrote for a real image and checks its tables
   against the dump of the same file.
3. Names longer than a packed string holds come back whole through the
   long-names block; a reader that skips the block still gets every table
   but the entry point, with the names' first bytes.

usage: check_compact.py RUVEX_SYMBOLS WORK_DIR [IMAGE OBJDUMP]
"""
import os
import struct
import subprocess
import sys
import zlib

SIGNATURE = b"RUVEX-SYMBOLS1"
LONG_NAMES_TAG = b"LNAM"
KEY_WORD = "Vexlar"


def pi_words(n):
    """n 32-bit words of the fractional hexadecimal digits of pi (Machin)."""
    bits = 32 * n + 64
    one = 1 << bits

    def arctan_inv(x):
        total = term = one // x
        x2, k, sign = x * x, 1, -1
        while term:
            term //= x2
            total += sign * (term // (2 * k + 1))
            sign, k = -sign, k + 1
        return total

    frac = (4 * (4 * arctan_inv(5) - arctan_inv(239)) - 3 * one) >> 64
    return [(frac >> (32 * (n - 1 - i))) & 0xFFFFFFFF for i in range(n)]


INITIAL = pi_words(18 + 1024)


class Blowfish:
    def __init__(self, key):
        self.p = INITIAL[:18]
        self.s = [INITIAL[18 + 256 * i: 18 + 256 * (i + 1)] for i in range(4)]
        key = key[:56]
        if key:
            k = 0
            for i in range(18):
                w = 0
                for _ in range(4):
                    w = (w << 8) | key[k]
                    k = (k + 1) % len(key)
                self.p[i] ^= w
        l = r = 0
        for i in range(0, 18, 2):
            l, r = self.encrypt(l, r)
            self.p[i], self.p[i + 1] = l, r
        for box in self.s:
            for i in range(0, 256, 2):
                l, r = self.encrypt(l, r)
                box[i], box[i + 1] = l, r

    def f(self, x):
        s = self.s
        return ((((s[0][x >> 24] + s[1][(x >> 16) & 255]) & 0xFFFFFFFF) ^ s[2][(x >> 8) & 255]) + s[3][x & 255]) & 0xFFFFFFFF

    def encrypt(self, l, r):
        for i in range(16):
            l ^= self.p[i]
            r ^= self.f(l)
            l, r = r, l
        l, r = r, l
        return l ^ self.p[17], r ^ self.p[16]

    def decrypt(self, l, r):
        for i in range(17, 1, -1):
            l ^= self.p[i]
            r ^= self.f(l)
            l, r = r, l
        l, r = r, l
        return l ^ self.p[0], r ^ self.p[1]

    def ecb(self, data, decrypt=False):
        out = bytearray(data)
        op = self.decrypt if decrypt else self.encrypt
        for at in range(0, len(out) - 7, 8):
            l, r = struct.unpack(">II", out[at:at + 8])
            out[at:at + 8] = struct.pack(">II", *op(l, r))
        return bytes(out)


def payload_key(length):
    text = ("%s$%07X%s%08d" % (KEY_WORD, length, KEY_WORD, length)).encode()
    text = text + text
    return Blowfish(text).ecb(text)


def packed_int(v):
    return struct.pack("<b", v) if -127 <= v <= 127 else b"\x80" + struct.pack("<i", v)


def packed_string(s):
    b = s.encode()[:255]
    return bytes([len(b)]) + b


def write_compact(segments, publics, lines, entry=None, version=3, minimal=False):
    """segments: (start, length, unit, has_lines); publics: (name, address);
    lines: (line, address); addresses relative to the base of code."""
    s = struct.pack("<I", len(segments))
    for start, length, unit, has_lines in segments:
        s += struct.pack("<II", start, length)
        s += bytes([1 if has_lines else 0]) if minimal else packed_string(unit)
    s += struct.pack("<I", len(publics))
    for i, (name, address) in enumerate(publics):
        if not minimal:
            s += packed_string(name)
        s += struct.pack("<I", address) if i == 0 else packed_int(address - publics[i - 1][1])
    s += struct.pack("<I", len(lines))
    for i, (line, address) in enumerate(lines):
        if i == 0:
            s += struct.pack("<iI", line, address)
        else:
            s += packed_int(line - lines[i - 1][0]) + packed_int(address - lines[i - 1][1])
    long_names = [(i, n.encode()) for i, (n, _) in enumerate(publics) if not minimal and len(n.encode()) > 255]
    if long_names:
        s += LONG_NAMES_TAG + struct.pack("<I", len(long_names))
        for i, b in long_names:
            s += struct.pack("<II", i, len(b)) + b
    if entry is not None:
        s += struct.pack("<I", entry)
    deflate = zlib.compressobj(9, zlib.DEFLATED, -15)
    crc = zlib.crc32(s) & 0xFFFFFFFF
    block = struct.pack("<QI", len(s), crc) + deflate.compress(s) + deflate.flush()
    payload = Blowfish(payload_key(len(block))).ecb(block)
    head = SIGNATURE + struct.pack("<II", len(payload), version)
    if version == 3:
        head += struct.pack("<HHII", 0x5A21, 0x6000, crc, 1 if minimal else 0)
    return head + payload


def read_compact(data, long_names=True):
    """The tables of compact data, as the dump prints them; without
    long_names as a reader that does not know that block."""
    assert data[:14] == SIGNATURE, "signature"
    length, version = struct.unpack_from("<II", data, 14)
    flags = struct.unpack_from("<I", data, 30)[0] if version == 3 else 0
    at = 34 if version == 3 else 22
    block = Blowfish(payload_key(length)).ecb(data[at:at + length], decrypt=True)
    size, crc = struct.unpack_from("<QI", block)
    s = zlib.decompress(block[12:], -15)
    assert len(s) == size and zlib.crc32(s) & 0xFFFFFFFF == crc, "block"
    minimal = flags & 1
    pos = 0

    def take(fmt):
        nonlocal pos
        v = struct.unpack_from(fmt, s, pos)
        pos += struct.calcsize(fmt)
        return v[0] if len(v) == 1 else v

    def pint():
        v = take("<b")
        return take("<i") if v == -128 else v

    def pstr():
        nonlocal pos
        n = take("<B")
        t = s[pos:pos + n].decode()
        pos += n
        return t

    out = []
    for i in range(take("<I")):
        start, length = take("<II")
        unit = "segment%%%d" % i if minimal else pstr()
        if minimal:
            take("<B")
        out.append("segment %08x %08x %s" % (start, length, unit))
    address = 0
    publics = []
    for i in range(take("<I")):
        name = "public%%%d" % i if minimal else pstr()
        address = take("<I") if i == 0 else address + pint()
        publics.append([address, name])
    public_lines = len(out)
    line = address = 0
    for i in range(take("<I")):
        if i == 0:
            line, address = take("<iI")
        else:
            line, address = line + pint(), address + pint()
        out.append("line %08x %d" % (address, line))
    if long_names and not minimal and len(s) - pos > 4 and s[pos:pos + 4] == LONG_NAMES_TAG:
        pos += 4
        for _ in range(take("<I")):
            index, n = take("<II")
            publics[index][1] = s[pos:pos + n].decode()
            pos += n
    if len(s) - pos == 4:
        out.append("entry %08x" % take("<I"))
    out[public_lines:public_lines] = ["public %08x %s" % (a, n) for a, n in publics]
    return out


def dump(tool, path):
    result = subprocess.run([tool, "--dump", path], capture_output=True, text=True, check=True)
    return result.stdout.splitlines()[1:]  # without the header line


def main():
    tool, work = sys.argv[1], sys.argv[2]
    os.makedirs(work, exist_ok=True)
    # Known answers of the cipher first, so a fault here is not blamed on the tool.
    bf = Blowfish(bytes(8))
    assert bf.encrypt(0, 0) == (0x4EF99745, 0x6198DD78), "Blowfish"

    segments = [(0, 0x400, "main.cpp", True), (0x400, 0x9000, "Ünicode/unit.c", False), (0x9400, 0x10, "", False)]
    publics = [("main", 0x10), ("helper", 0x90), ("far_away", 0x8000), ("neighbour", 0x8001), ("x" * 300, 0x9400)]
    lines = [(10, 0x10), (9, 0x14), (400, 0x8000), (100000, 0x8002)]
    checked = 0
    for version, minimal, entry in ((2, False, None), (3, False, 0x10), (3, True, 0x20)):
        path = os.path.join(work, "v%d%s.ruvex" % (version, "-minimal" if minimal else ""))
        with open(path, "wb") as f:
            f.write(write_compact(segments, publics, lines, entry, version, minimal))
        got = dump(tool, path)
        want = read_compact(open(path, "rb").read())
        assert got == want, "%s:\n%s\n!=\n%s" % (path, "\n".join(got), "\n".join(want))
        checked += len(want)
        if not minimal:
            assert "public 00009400 " + "x" * 300 in want, "a long name read back whole"
            skipped = read_compact(open(path, "rb").read(), long_names=False)
            full = [w for w in want if not w.startswith("entry ")]
            assert len(skipped) == len(full), path
            for a, b in zip(skipped, full):
                assert a == b or (b.startswith(a) and len(a.encode()) == len("public 00000000 ") + 255), (a, b)

    if len(sys.argv) > 4:
        image, objdump = sys.argv[3], sys.argv[4]
        path = os.path.join(work, "image.ruvex")
        subprocess.run([tool, "--image", image, "--objdump", objdump, "--ruvex", path], check=True,
                       capture_output=True)
        data = open(path, "rb").read()
        got = dump(tool, path)
        want = read_compact(data)
        assert got == want, "the tool's file reads differently here"
        assert sum(1 for w in want if w.startswith("public ")) > 100
        checked += len(want)
    print("compact round trip: %d records agree" % checked)


if __name__ == "__main__":
    main()
