#!/usr/bin/env python3
"""A live report under wine64, judged line by line on the Linux side: the
sample faults in a known function with three other threads waiting and
saves its report; then an outside starter runs the exported process trace
in a fresh sample: with room for all, with a short maximum, and with 0
(onto the clipboard).

Usage: check_golden_report.py SAMPLE.exe STARTER.exe KELVANE.exe WORKDIR"""
import os, re, subprocess, sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", "..", "..", ".."))
SAMPLE, STARTER, KELVANE, WORK = (os.path.abspath(a) for a in sys.argv[1:5])
failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    if not condition:
        failures.append(what)


def wine(*args):
    done = subprocess.run([os.path.join(ROOT, "cmake", "wine-run.sh"), *args], stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, timeout=180)
    return done.returncode, done.stdout.decode("utf-8", "replace")


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def source_line(marker):
    """The line of the sample's source that holds `marker`."""
    lines = open(os.path.join(HERE, "report_golden_sample.cpp"), encoding="utf-8").read().splitlines()
    return next(i + 1 for i, line in enumerate(lines) if marker in line)


def split_report(text):
    """The header as (name, padded name, value) and the sections as {title: lines}."""
    blocks = text.split("\r\n\r\n")
    header = []
    for line in blocks[0].split("\r\n"):
        name, sep, value = line.partition(": ")
        header.append((name.rstrip(), name, value))
    sections = {}
    for block in blocks[1:]:
        if block:
            lines = block.split("\r\n")
            sections[lines[0]] = lines[1:]
    return header, sections


# Listed call: address, relative address, module, unit, line, relative line, function.
ITEM = re.compile(r"^([0-9a-f]{16}) \+([0-9a-f]+) (\S+) +(\S+\.\S+)? *(\d+)? *(\+\d+)? *(.*)$")


def lists_call(lines, function, unit, line):
    for text in lines:
        m = ITEM.match(text)
        if m and function in m.group(7) and m.group(4) == unit and m.group(5) == str(line):
            return True
    return False


def check_call_stacks(sections, pending_free):
    titles = list(sections)
    worker = next((t for t in titles if t.startswith("Golden worker ($")), None)
    check(worker is not None and re.fullmatch(r"Golden worker \(\$[0-9a-f]+\):", worker), "the named worker has its title")
    idler = next((t for t in titles if t.startswith("Golden idler ($")), None)
    check(idler is not None, "the second named thread is listed")
    check(any(re.fullmatch(r"thread \$[0-9a-f]+:", t) for t in titles), "the unnamed thread is listed by its id")
    if worker:
        unit = "report_golden_sample.cpp"
        lines = sections[worker]
        check(lists_call(lines, "GoldenChainInner", unit, source_line("WaitForSingleObject(gRelease, 30000);")),
              "the worker shows the inner function's wait with unit and line")
        check(lists_call(lines, "GoldenChainMiddle", unit, source_line("  GoldenChainInner(ready);")),
              "the worker shows the middle function's call with its line")
        check(lists_call(lines, "GoldenChainOuter", unit, source_line("  GoldenChainMiddle(ready);")),
              "the worker shows the outer function's call with its line")
    thread_titles = [t for t in titles if re.search(r"\(\$[0-9a-f]+\):|^thread \$[0-9a-f]+:", t)]
    check(len(thread_titles) >= 4 and all(any(ITEM.match(l) for l in sections[t]) for t in thread_titles),
          "every listed thread has its call stack: %s" % thread_titles)
    if pending_free:
        text = "\r\n".join("\r\n".join(lines) for lines in sections.values())
        check("will be calculated soon" not in text, "no section is left at its placeholder")


def check_fault_report():
    path = os.path.join(WORK, "golden.qbr")
    if os.path.exists(path):
        os.remove(path)
    rc, out = wine(SAMPLE, windows_path(path))
    check(rc == 0 and "complete 1 saved 1" in out, "the sample completed and saved its report (%d: %s)" % (rc, out.strip()))
    if not os.path.exists(path):
        return
    data = open(path, "rb").read()
    check(not data.startswith(b"\xef\xbb\xbf"), "UTF-8 without a byte-order mark")
    text = data.decode("utf-8")
    check(text.endswith("\r\n\r\n"), "the report is followed by a blank line")
    header, sections = split_report(text.rstrip("\r\n"))

    names = [name for name, _, _ in header]
    width = max(len(n) for n in names) + 1
    check(all(len(padded) == width for _, padded, _ in header), "every name is padded to the longest plus one (%d)" % width)
    expected_order = ["date/time", "computer name", "user name", "operating system", "system up time",
                      "program up time", "physical memory", "display mode", "process id", "allocated memory",
                      "largest free block", "executable", "exec. date/time", "compiled with", "RuvexExcept version",
                      "callstack crc", "exception number", "exception class", "exception message"]
    positions = [names.index(n) if n in names else -1 for n in expected_order]
    check(-1 not in positions and positions == sorted(positions), "the header fields stand in their order: %s" % names)
    values = {name: value for name, _, value in header}
    patterns = {
        "date/time": r"\d{4}-\d\d-\d\d, \d\d:\d\d:\d\d, \d{1,3}ms",
        "process id": r"\$[0-9a-f]+",
        "physical memory": r"\d+/\d+ MB \(free/total\)",
        "display mode": r"\d+x\d+, \d+ bit",
        "executable": r"ruvex_report_golden_sample\.exe",
        "exec. date/time": r"\d{4}-\d\d-\d\d \d\d:\d\d",
        "RuvexExcept version": r"5\.0\.99",
        "callstack crc": r"\$[0-9a-f]{8}, \$[0-9a-f]{8}, \$[0-9a-f]{8}",
        "exception number": r"1",
        "exception class": r"EAccessViolation",
        "exception message": r"Access violation at a known place\.",
    }
    for name, pattern in patterns.items():
        check(re.fullmatch(pattern, values.get(name, "")) is not None, "%s is %r" % (name, values.get(name)))
    check(len(values.get("callstack crc", "")) == 31, "callstack crc has 31 characters")

    titles = list(sections)
    check(bool(titles) and re.fullmatch(r"main thread \(\$[0-9a-f]+\):", titles[0]) is not None,
          "the crashing main thread comes first: %s" % titles[:1])
    crashed = sections[titles[0]] if titles else []
    unit = "report_golden_sample.cpp"
    first = ITEM.match(crashed[0]) if crashed else None
    check(first is not None and "GoldenFaultingFunction" in first.group(7) and first.group(4) == unit
          and first.group(5) == str(source_line("*gNowhere = value;")),
          "the first listed location is the faulting line: %s" % (crashed[:1],))
    check(lists_call(crashed, "GoldenCaller", unit, source_line("  GoldenFaultingFunction(42);")),
          "the caller's call is listed with its line")
    check(lists_call(crashed, "wmain", unit, source_line("  GoldenCaller();")), "the main routine's call is listed")

    registers = sections.get("cpu registers:", [])
    names64 = ["rax", "rbx", "rcx", "rdx", "rsi", "rdi", "rip", "rsp", "rbp", "r8 ", "r9 ", "r10", "r11", "r12",
               "r13", "r14", "r15"]
    check([r[:3] for r in registers] == names64 and all(re.fullmatch(r"\S+ +=\s[0-9a-f]{16}", r) for r in registers),
          "the register lines: %s" % registers[:3])
    rip = next((r[6:] for r in registers if r.startswith("rip")), "")
    check(first is not None and rip == first.group(1), "rip is the listed fault address")
    rsp = next((r[6:] for r in registers if r.startswith("rsp")), "")
    dump = sections.get("stack dump:", [])
    check(0 < len(dump) <= 20, "the stack dump has at most 20 lines (%d)" % len(dump))
    check(bool(dump) and dump[0].startswith(rsp + "  "), "the stack dump starts at rsp")
    line_form = re.compile(r"[0-9a-f]{16}  (?:[0-9a-f]{2} ){8}- (?:[0-9a-f]{2} ){8} [ -~]{16}")
    check(all(line_form.fullmatch(d) for d in dump), "every dump line has 16 bytes and their characters")
    listing = sections.get("disassembling:", [])
    marked = [l for l in listing if re.match(r"^[0-9a-f]+ > ", l)]
    check(len(marked) == 1 and marked[0].startswith(rip.lstrip("0")), "the disassembly marks the fault: %s" % marked)
    check_call_stacks(sections, True)


def check_trace(max_length, name, program=SAMPLE, *arguments):
    path = os.path.join(WORK, name)
    if os.path.exists(path):
        os.remove(path)
    rc, out = wine(STARTER, program, str(max_length), windows_path(path), *arguments)
    check(rc == 0, "the process trace ran in the sample (%s)" % out.strip())
    return open(path, "rb").read() if os.path.exists(path) else b""


os.makedirs(WORK, exist_ok=True)
check_fault_report()

whole = check_trace(1 << 20, "trace-whole.bin")
report = whole[:whole.find(b"\0")] if b"\0" in whole else whole
try:
    text = report.decode("utf-8")
except UnicodeDecodeError:
    text = ""
    check(False, "the trace block holds UTF-8")
header, sections = split_report(text)
check(bool(header) and header[0][0] == "date/time", "the trace block holds a report")
check(not any(n in ("exception class", "exception message") for n, _, _ in header), "the trace has no exception")
check(any(t.startswith("main thread ($") for t in sections), "the trace lists the main thread")
check(not any("TraceProcessThread" in t for t in sections), "the trace leaves its own thread out")
check_call_stacks(sections, True)

short = check_trace(100, "trace-100.bin")
check(len(short) == 101 and short[99] == 0 and short[100:101] == b"X", "with 100: 99 bytes and a zero, nothing beyond")
check(len(report) > 100 and short.startswith(b"date/time") and short[:99].decode("utf-8", "strict") is not None,
      "the 99 bytes are the beginning of a longer report, whole characters")

clip = check_trace(0, "trace-clipboard.txt")
check(clip.startswith(b"date/time") and b"Golden worker ($" in clip and b"will be calculated soon" not in clip,
      "with 0 the complete report goes onto the clipboard")

# The shipped program, passive without a settings block, waiting in its help.
shipped = check_trace(1 << 20, "trace-kelvane.bin", KELVANE, "/help")
shipped = shipped[:shipped.find(b"\0")] if b"\0" in shipped else shipped
check(shipped.startswith(b"date/time") and b"\r\n\r\nmain thread ($" in shipped and b"Kelvane.exe" in shipped
      and b"will be calculated soon" not in shipped,
      "Kelvane.exe's exported process trace writes a complete report")

print("%d failures" % len(failures))
sys.exit(1 if failures else 0)
