#!/usr/bin/env python3
"""The crash example and Kelvane.exe under wine64, with reporter settings
blocks embedded by ruvex-settings.

Every failure the example can make must reach the handling flow exactly once
(the example's handler appends one "source=..." line per exception), and the
process must end as the block says: exit code 1 on close, 2 on restart with a
successor that takes over the history, and on going on the program's own
next line. The raising place of a C++ exception is checked with addr2line.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import time
from pathlib import Path

CLOSE = "NoSettings = False\nEnabled = True\n"
RESTART = CLOSE + "AutoRestart = 1\n"
# Restarts until ten exceptions happened within a minute, then closes.
RESTART_LOOP = RESTART + "AutoClose = 60\n"

# case, exit code, class, source, message part, lines the program adds
CASES = [
    ("av-read", 1, "EAccessViolation", 18, "in module 'av-read.exe'. Read of address $10.", []),
    # The program's own name holds placeholders: the message is filled by
    # position and the name is never read as a pattern.
    ("av-write", 1, "EAccessViolation", 18, "in module 'av%s%p-write.exe'. Write of address $20.", []),
    ("div-zero", 1, "EDivByZero", 18, "Division by zero.", []),
    ("stack-overflow", 1, "EStackOverflow", 18, "Stack overflow.", []),
    ("throw-main", 1, "runtime_error", 13, "thrown on purpose.", ["synchronised in=main"]),
    # A rethrow nobody catches ends in abort; it is the same exception.
    ("rethrow-main", 1, "runtime_error", 13, "thrown on purpose.", []),
    ("throw-thread", 0, "logic_error", 13, "thrown in a second thread.", ["continued"]),
    ("terminate", 1, "RuvexException", 11, "Terminate called without an active exception.", []),
    ("invalid-parameter", 0, "RuvexException", 11, "Invalid parameter passed to C runtime function.", ["continued"]),
    ("pure-call", 1, "RuvexException", 11, "Pure virtual function call.", []),
    ("abort", 1, "RuvexException", 11, "Abnormal program termination.", []),
    ("out-of-memory", 1, "RuvexException", 11, "Out of memory.", []),
    # A handler that raises is passed over; the exception is reported once.
    ("handler-throws", 1, "runtime_error", 13, "thrown on purpose.", []),
    # A handler that faults ends the handling thread, not the program: the
    # thread that waited for it goes on.
    ("handler-faults", 0, "logic_error", 13, "thrown in a second thread.", ["continued"]),
    # The blocked main thread cannot take the synchronised pass: it runs in
    # the handling thread after the probe's time-out, long before the main
    # thread wakes up and goes on.
    ("blocked-main", 0, "logic_error", 13, "thrown in a second thread.", ["synchronised in=other", "continued"]),
]

PROGRAM_NAMES = {"av-write": "av%s%p-write"}
RAISING_FUNCTIONS = {"throw-main": "ThrowFromMain", "rethrow-main": "ThrowFromMain", "throw-thread": "ThrowFromThread"}


class Failures:
    def __init__(self):
        self.messages = []

    def check(self, condition, message):
        if not condition:
            self.messages.append(message)
            print("FAIL:", message, flush=True)
        return condition


class Wine:
    def __init__(self, wine_run):
        self.wine_run = wine_run

    def run(self, argv, timeout=60):
        try:
            return subprocess.run([self.wine_run, *map(str, argv)], stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL, timeout=timeout).returncode
        except subprocess.TimeoutExpired:
            return "timeout"


def windows(path):
    return "Z:" + str(path).replace("/", "\\")


def with_block(wine, settings_tool, image, folder, name, settings):
    """A copy of `image` named `name` in `folder` with the settings block embedded."""
    folder.mkdir(parents=True, exist_ok=True)
    program = folder / (name + ".exe")
    shutil.copy(image, program)
    text = folder / (name + ".txt")
    text.write_text(settings)
    rc = wine.run([settings_tool, "embed", windows(text), windows(program)])
    if rc != 0:
        raise SystemExit(f"ruvex-settings embed failed for {name}: {rc}")
    return program


def lines_of(path):
    return path.read_text().splitlines() if path.exists() else []


def reports(lines):
    return [dict(re.findall(r"(\w+)=(\S*)", line.split(" message=")[0]), message=line.split(" message=", 1)[-1])
            for line in lines if line.startswith("source=")]


def function_at(addr2line, objdump, program, rva):
    headers = subprocess.run([objdump, "-p", str(program)], capture_output=True, text=True).stdout
    base = int(re.search(r"^ImageBase\s+([0-9a-fA-F]+)", headers, re.M).group(1), 16)
    out = subprocess.run([addr2line, "-f", "-C", "-e", str(program), hex(base + rva)],
                         capture_output=True, text=True).stdout
    return out.splitlines()[0] if out else ""


def check_cases(wine, args, failures, work, tool, image):
    for name, exit_code, class_name, source, message, extra in CASES:
        folder = work / name
        program = with_block(wine, tool, image, folder, PROGRAM_NAMES.get(name, name), CLOSE)
        record = folder / "record.txt"
        rc = wine.run([program, name, windows(record)])
        lines = lines_of(record)
        found = reports(lines)
        failures.check(rc == exit_code, f"{name}: exit code {rc}, expected {exit_code}")
        if not failures.check(len(found) == 1, f"{name}: {len(found)} reports, expected one: {lines}"):
            continue
        got = found[0]
        failures.check(got["class"] == class_name, f"{name}: class {got['class']}, expected {class_name}")
        failures.check(got["source"] == str(source), f"{name}: source {got['source']}, expected {source}")
        failures.check(message in got["message"], f"{name}: message {got['message']!r} lacks {message!r}")
        failures.check(got["continue"] == str(int(exit_code == 0)), f"{name}: can continue {got['continue']}")
        failures.check([line for line in lines if not line.startswith("source=")] == extra,
                       f"{name}: program lines {lines}, expected {extra}")
        if name in RAISING_FUNCTIONS:
            where = function_at(args.addr2line, args.objdump, program, int(got["rva"], 16))
            failures.check(RAISING_FUNCTIONS[name] in where,
                           f"{name}: raised at {where!r}, expected {RAISING_FUNCTIONS[name]}")
        if name == "av-read":
            saved = (folder / "bugreport.qbr").read_text(errors="replace") if (folder / "bugreport.qbr").exists() else ""
            failures.check("exception class     : EAccessViolation" in saved, "av-read: no automatic save of the report")


def check_silent_and_naming(wine, failures, work, tool, image):
    folder = work / "silent"
    program = with_block(wine, tool, image, folder, "silent", CLOSE)
    record = folder / "abort-exception.txt"
    rc = wine.run([program, "abort-exception", windows(record)])
    failures.check(rc == 1, f"abort-exception: exit code {rc}, expected 1 (cannot continue: closed)")
    failures.check(not lines_of(record), f"abort-exception: reported {lines_of(record)}")
    record = folder / "thread-name.txt"
    rc = wine.run([program, "thread-name", windows(record)])
    failures.check(rc == 0, f"thread-name: exit code {rc}")
    lines = lines_of(record)
    failures.check(len(lines) == 1 and lines[0].startswith("named named worker ($"),
                   f"thread-name: the name was not recorded and the exception not swallowed: {lines}")


def check_temporary_folder(wine, failures, work, tool, image):
    folder = work / "leftover"
    program = with_block(wine, tool, image, folder, "leftover", CLOSE)
    record = folder / "record.txt"
    rc = wine.run([program, "leftover-av-read", windows(record)])
    lines = lines_of(record)
    failures.check(rc == 1 and len(reports(lines)) == 1, f"leftover: exit code {rc}, lines {lines}")
    left = [line.split(" ", 1)[1] for line in lines if line.startswith("leftover ")]
    if failures.check(len(left) == 1, f"leftover: no file made: {lines}"):
        # C:\users\<user>\Temp\... inside the prefix's drive C.
        relative = left[0].split(":\\", 1)[1].replace("\\", "/")
        drive_c = Path(os.environ["KELVANE_WINEPREFIX"]) / "drive_c"
        failures.check(not (drive_c / relative).exists(), f"leftover: {left[0]} is still there")
        failures.check(not (drive_c / relative).parent.exists(), "leftover: the folder is still there")


def wait_for_lines(path, predicate, seconds):
    deadline = time.time() + seconds
    while time.time() < deadline:
        if predicate(lines_of(path)):
            return True
        time.sleep(0.2)
    return False


def check_restarts(wine, failures, work, tool, image):
    folder = work / "restart"
    program = with_block(wine, tool, image, folder, "restart", RESTART)
    record = folder / "record.txt"
    rc = wine.run([program, "av-read", windows(record)])
    failures.check(rc == 2, f"restart: exit code {rc}, expected 2")
    started = wait_for_lines(record, lambda lines: any(line.startswith("restarted") for line in lines), 20)
    lines = lines_of(record)
    if failures.check(started, f"restart: no successor started: {lines}"):
        newest = int(lines[-1].split("newest=")[1])
        failures.check(newest > 0, "restart: the successor did not take over the history")
        failures.check(len(reports(lines)) == 1, f"restart: {lines}")

    # A successor that cannot be started leaves the close.
    folder = work / "unstartable"
    program = with_block(wine, tool, image, folder, "unstartable", RESTART)
    record = folder / "record.txt"
    rc = wine.run([program, "moved-av-read", windows(record)])
    failures.check(rc == 1, f"unstartable successor: exit code {rc}, expected 1")
    time.sleep(1)
    lines = lines_of(record)
    failures.check(len(reports(lines)) == 1 and not any(line.startswith("restarted") for line in lines),
                   f"unstartable successor: {lines}")

    folder = work / "loop"
    program = with_block(wine, tool, image, folder, "loop", RESTART_LOOP)
    record = folder / "record.txt"
    rc = wine.run([program, "av-read", windows(record), "again"])
    failures.check(rc == 2, f"restart loop: first exit code {rc}, expected 2")
    failures.check(wait_for_lines(record, lambda lines: len(reports(lines)) >= 10, 40),
                   f"restart loop: fewer than ten instances: {lines_of(record)}")
    time.sleep(2)
    lines = lines_of(record)
    failures.check(len(reports(lines)) == 10 and sum(line.startswith("restarted") for line in lines) == 9,
                   f"restart loop: not stopped at the tenth exception: {len(reports(lines))} reports")


def check_kelvane(wine, failures, work, tool, kelvane):
    folder = work / "kelvane"
    config = folder / "missing-manager.ini"
    program = with_block(wine, tool, kelvane, folder, "Kelvane", CLOSE)
    config.write_text("[Paths]\r\nURL=localhost:8000\r\nBrowser=3\r\nSingleInstance=1\r\n"
                      "DebugManager=C:\\nowhere\\Gone.exe\r\n")
    rc = wine.run([program, "/configfile:" + windows(config)])
    failures.check(rc == 1, f"Kelvane: exit code {rc}, expected 1 (closed by the reporter)")
    saved = folder / "bugreport.qbr"
    text = saved.read_text(errors="replace") if saved.exists() else ""
    failures.check("exception class     : EKelvaneWork" in text and "doesn't exist" in text,
                   "Kelvane: the missing debug manager did not reach the reporter")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--binary-dir", required=True, type=Path)
    parser.add_argument("--wine-run", required=True)
    parser.add_argument("--objdump", required=True)
    parser.add_argument("--addr2line", required=True)
    args = parser.parse_args()
    if not os.environ.get("KELVANE_WINEPREFIX"):
        raise SystemExit("KELVANE_WINEPREFIX is not set")
    work = args.binary_dir / "examples" / "crash" / "work"
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)
    wine = Wine(args.wine_run)
    tool = args.binary_dir / "bin" / "ruvex-settings.exe"
    image = args.binary_dir / "bin" / "crash-example.exe"
    failures = Failures()
    started = time.time()
    check_cases(wine, args, failures, work, tool, image)
    check_silent_and_naming(wine, failures, work, tool, image)
    check_temporary_folder(wine, failures, work, tool, image)
    check_restarts(wine, failures, work, tool, image)
    check_kelvane(wine, failures, work, tool, args.binary_dir / "bin" / "Kelvane.exe")
    print(f"{len(failures.messages)} failures in {time.time() - started:.1f} s")
    return 1 if failures.messages else 0


if __name__ == "__main__":
    sys.exit(main())
