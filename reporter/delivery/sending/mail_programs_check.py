#!/usr/bin/env python3
"""A bug report handed to the mail programs by the 64-bit sample under
wine64, through stand-ins: a mapi32.dll beside the program that records the
message it is handed, and a program registered under HKCR\\mailto that
records its command line. Checks the calls exactly, the cut of a long
report in the mailto URL, and what happens to the bug report file.

Usage: mail_programs_check.py SAMPLE.exe STANDIN_DIR WORK"""
import os, shutil, subprocess, sys, tempfile, time, urllib.parse

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", "..", ".."))
SAMPLE, STANDINS, WORK = (os.path.abspath(a) for a in sys.argv[1:4])
PREFIX = os.path.join(WORK, "wineprefix")
BIN = os.path.join(WORK, "bin")
SOURCE = b"date/time         : 2024-03-06, 08:00:00\r\nexception class   : EEarlier\r\n"
failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    if not condition:
        failures.append(what)


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def wine(*args, **extra_env):
    env = dict(os.environ, WINEPREFIX=PREFIX, WINEDEBUG="-all", WINEDLLOVERRIDES="mapi32=n,b;mscoree,mshtml=",
               **extra_env)
    env.pop("DISPLAY", None)
    # Output through a file: wine's helpers may keep a pipe open.
    with tempfile.TemporaryFile() as out:
        subprocess.run(["wine", *args], env=env, stdout=out, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                       timeout=180)
        out.seek(0)
        return out.read().decode("utf-8", "replace")


def prepare(name):
    folder = os.path.join(WORK, name)
    os.makedirs(folder)
    for file_name, data in (("bugreport.qbr", SOURCE), ("app.log", b"log\r\n"), ("app.ini", b"[x]\r\n")):
        with open(os.path.join(folder, file_name), "wb") as f:
            f.write(data)
    return folder


def send(name, answer, *args):
    folder = prepare(name)
    record = os.path.join(folder, "record.txt")
    text = wine(os.path.join(BIN, os.path.basename(SAMPLE)), "--work", windows_path(folder), *args,
                KELVANE_MAPI_RECORD=windows_path(record), KELVANE_MAPI_ANSWER=str(answer),
                KELVANE_MAILTO_RECORD=windows_path(os.path.join(folder, "mailto.txt")))
    result = [line.split()[1] for line in text.splitlines() if line.startswith("result ")]
    return (result[0] if result else "none: " + text[-300:]), folder


def wait_for_record(path, within=20):
    """The started mail program runs on after the sample: its record comes when it comes."""
    end = time.time() + within
    while time.time() < end:
        if os.path.exists(path) and os.path.getsize(path) > 0:
            time.sleep(0.3)  # written in one go; a moment for the close
            return open(path, "rb").read().decode("ascii")
        time.sleep(0.2)
    return ""


def read_record(folder):
    path = os.path.join(folder, "record.txt")
    if not os.path.exists(path):
        return {}, [], []
    values, recipients, files = {}, [], []
    for line in open(path, encoding="ascii").read().splitlines():
        kind, _, rest = line.partition(" ")
        fields = rest.split(" ")
        text = lambda h: "" if h == "-" else bytes.fromhex(h).decode("utf-8")
        if kind == "recip":
            recipients.append((fields[0], text(fields[1]), text(fields[2])))
        elif kind == "file":
            files.append((fields[0], text(fields[1]), text(fields[2]), b"" if fields[3] == "-" else bytes.fromhex(fields[3])))
        elif kind in ("subject", "body"):
            values[kind] = text(rest)
        else:
            values[kind] = rest
    return values, recipients, files


def main():
    shutil.rmtree(WORK, ignore_errors=True)
    os.makedirs(BIN)
    for program in (SAMPLE, os.path.join(STANDINS, "mapi32.dll"), os.path.join(STANDINS, "ruvex_mailto_recorder.exe")):
        shutil.copy(program, BIN)
    subprocess.run([os.path.join(ROOT, "cmake", "wine-prefix.sh"), PREFIX], check=True)
    recorder = windows_path(os.path.join(BIN, "ruvex_mailto_recorder.exe"))
    wine("reg", "add", "HKCR\\mailto\\shell\\open\\command", "/ve", "/d", '"%s" "%%1"' % recorder, "/f")

    result, folder = send("mapi", 0, "--channel", "mapi", "--delete-source")
    values, recipients, files = read_record(folder)
    check(result == "1", "MAPI: delivered (%s)" % result)
    check(values.get("entry") == "MAPISendMailW", "MAPI: the wide entry point is preferred")
    check(values.get("flags") == "0", "MAPI: silent with a recipient, so no dialog (flags %s)" % values.get("flags"))
    check(values.get("subject") == "Kelvane bug report: EAccessViolation", "MAPI: subject")
    check(values.get("body", "").startswith("please find the bug report attached"), "MAPI: body")
    check(recipients == [("1", "Support", "SMTP:support@example.org")], "MAPI: recipient %s" % recipients)
    names = [f[2] for f in files]
    check(names == ["bugreport.qbr", "screenshot.png", "logs.zip"], "MAPI: files by send-as name %s" % names)
    check(all(f[0] == "-1" for f in files), "MAPI: files without a position")
    send_folder = windows_path(os.path.join(folder, "send")) + "\\"
    check(all(f[1].startswith(send_folder) for f in files), "MAPI: the files lie in the send's own folder")
    check(bool(files) and files[0][3].startswith(SOURCE) and b"EAccessViolation" in files[0][3],
          "MAPI: the report copy holds the file and the current report")
    check(bool(files) and files[1][3][:4] == b"\x89PNG" and files[2][3][:2] == b"PK", "MAPI: PNG and zip files")
    check(not os.path.exists(os.path.join(folder, "bugreport.qbr")),
          "MAPI: delivered, the unchanged bug report file is deleted as DelBugRepFile asks")

    result, folder = send("mapi-cancelled", 1, "--channel", "mapi", "--delete-source")
    check(result == "2", "MAPI cancelled: result 2 (%s)" % result)
    check(os.path.exists(os.path.join(folder, "bugreport.qbr")), "MAPI cancelled: the bug report file survives")

    result, folder = send("mailto", 2, "--channel", "mailto", "--long-report", "--delete-source")
    check(result == "3", "mailto: the mail program was started, which is not a delivery (%s)" % result)
    check(os.path.exists(os.path.join(folder, "record.txt")), "mailto: MAPI was tried first")
    line = wait_for_record(os.path.join(folder, "mailto.txt"))
    prefix = '"%s" "mailto:' % recorder
    check(line.startswith(prefix + "Support%20%3Csupport@example.org%3E?subject=Kelvane%20bug%20report%3A%20"
                                   "EAccessViolation&body="), "mailto: the URL in place of %%1 (%s)" % line[:160])
    check(32700 <= len(line) <= 32766, "mailto: cut to the command line limit (%d)" % len(line))
    body = line.partition("&body=")[2]
    try:
        decoded = urllib.parse.unquote(body, errors="strict")
        whole = True
    except UnicodeDecodeError:
        whole = False
    check(whole and "%" not in body[-2:], "mailto: the cut splits no escape and no character")
    check(whole and decoded.startswith("date/time") and decoded.endswith("\u00e4"),
          "mailto: the body is the report itself, as files cannot travel in a URL")
    check(os.path.exists(os.path.join(folder, "bugreport.qbr")),
          "mailto: starting the mail program never deletes the bug report file")

    subprocess.run(["wineserver", "-k"], env=dict(os.environ, WINEPREFIX=PREFIX), stderr=subprocess.DEVNULL)
    print("%d failure(s)" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
