#!/usr/bin/env python3
"""Each tracker upload through WinHTTP under wine64, judged on the Linux
side: starts the tracker stand-in on 127.0.0.1 with a log, runs the 64-bit
sample under wine in a private prefix and reads what the stand-in logged.

Usage: winhttp_tracker_check.py SAMPLE.exe PREFIX"""
import os, subprocess, sys, tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", "..", ".."))
SAMPLE, PREFIX = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
# The stand-ins need Debian's own Python, whose packages they import.
PYTHON = "/usr/bin/python3" if os.path.exists("/usr/bin/python3") else sys.executable
TITLE = "Crash & <b> ]]> \u00fc\u4e2d"
DESCRIPTION = 'say "hi" & <bye> ]]>'
failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    if not condition:
        failures.append(what)


def h(data):
    return (data if isinstance(data, bytes) else data.encode("utf-8")).hex()


REPORT = bytes(((i * 7 + i // 256) & 0xFF) for i in range(70000))


def upload(tracker, script, *args):
    """The sample's outcome and the stand-in's log lines."""
    with tempfile.TemporaryDirectory() as folder:
        log = os.path.join(folder, "log")
        server = subprocess.Popen([PYTHON, os.path.join(HERE, script), log, *args], stdout=subprocess.PIPE, text=True)
        try:
            port = int(server.stdout.readline())
            env = dict(os.environ, KELVANE_WINEPREFIX=PREFIX)
            done = subprocess.run([os.path.join(ROOT, "cmake", "wine-run.sh"), SAMPLE, tracker, str(port)], env=env,
                                  stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=120)
        finally:
            server.kill()
            server.wait()
        lines = open(log).read().splitlines() if os.path.exists(log) else []
    out = done.stdout.decode("utf-8", "replace").replace("\r\n", "\n")
    values = dict(line.split(" ", 1) for line in out.splitlines() if " " in line)
    return values.get("result"), lines


def check_bugzilla():
    result, lines = upload("bugzilla", "bugzilla_server.py", "20")
    check(result == "42", "Bugzilla: the new bug's id")
    created = dict(zip(bytes.fromhex(lines[0].split(" ")[1]).decode().split(","),
                       (bytes.fromhex(v).decode() for v in lines[0].split(" ")[2:]))) if lines else {}
    check(created.get("summary") == TITLE and created.get("description") == DESCRIPTION,
          "Bugzilla: summary and description arrive intact")
    check(len(lines) == 2 and lines[1].endswith(" text/plain " + REPORT.hex()), "Bugzilla: the attachment byte-identical")


def check_mantis():
    result, lines = upload("mantis", "mantis_server.py", "30")
    check(result == "123", "Mantis: the new issue's id")
    check(bool(lines) and h(TITLE) in lines[0].split(" ") and lines[0].split(" ")[-1] == h(DESCRIPTION),
          "Mantis: summary and description arrive intact")
    check(len(lines) == 2 and lines[1] == "attach 123 %s text/plain %s" % (h("bugreport.txt"), REPORT.hex()),
          "Mantis: the attachment byte-identical")


def check_fogbugz():
    result, lines = upload("fogbugz", "fogbugz_server.py", "20", "8")
    check(result == "done", "FogBugz: the case was made")
    post = [l for l in lines if l.startswith("post ")]
    check(len(post) == 1 and post[0].split(" ")[1] == post[0].split(" ")[2], "FogBugz: declared and received length")
    check("field sTitle " + h(TITLE) in lines and "field sEvent " + h(DESCRIPTION) in lines,
          "FogBugz: title and description arrive intact")
    check("file File1 %s %s" % (h("bugreport.txt"), REPORT.hex()) in lines, "FogBugz: the file byte-identical")


def main():
    try:
        check_bugzilla()
        check_mantis()
        check_fogbugz()
    finally:
        subprocess.run(["wineserver", "-k"], env=dict(os.environ, WINEPREFIX=PREFIX),
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    print("%d passed, %d failed" % (0 if failures else 1, 1 if failures else 0))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
