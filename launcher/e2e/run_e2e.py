#!/usr/bin/env python3
"""Kelvane.exe end to end under wine64 (or wine32, in the i386 guest).

Sets up one private wine prefix for the run, registers recording stand-ins
under the browsers' real registry keys, as the user's default choice and as
the shell's handler for http URLs and .html files, then runs the program on
one configuration per case and checks what each stand-in recorded: its full
command line, its start-up flags and show state, its current folder. Also
checks help mode with redirected streams, the "Application Error" box (read
under a private Xvfb by a helper that presses its OK button), and that a
series of launches leaves the registry and drive C: untouched.

In the i386 guest (scripts/e2e-i386) the same cases run against the 32-bit
program: --bits 32, a prefix copied from the guest image's prepared one
(its set-up takes a minute there), and longer waits for the slow machine.
"""
import argparse
import os
import shutil
import subprocess
import sys
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
SOURCE_ROOT = HERE.parent.parent
TARGET = "http://localhost:8000/Project1.html"

# Windows folders inside the prefix.
E2E = "C:\\e2e"
APP = E2E + "\\app\\Project1.exe"          # the program, with a Project1.html beside it
BARE = E2E + "\\bare\\Project2.exe"        # the program, with no page beside it
CHROME = E2E + "\\browsers\\chrome\\chrome.exe"
EDGE = E2E + "\\browsers\\edge\\msedge.exe"
IE = E2E + "\\browsers\\ie\\iexplore.exe"
OPERA = E2E + "\\browsers\\opera\\opera.exe"
FIREFOX = E2E + "\\browsers\\firefox\\firefox.exe"
FIREFOX_DEV = E2E + "\\browsers\\firefox-dev\\firefox.exe"
SHELL = E2E + "\\browsers\\shell\\shellopen.exe"
MANAGER = E2E + "\\dbg\\DbgManager.exe"
NPM = E2E + "\\tools\\npm-record.exe"
NPM_FOLDER = E2E + "\\npm"
SITE = E2E + "\\site"
ELECTRON_PROJECT = E2E + "\\electron app"
STARTER = E2E + "\\tools\\startwith.exe"
HELP_TEXT = (b"Switches: \r\nConfiguration file, example /configfile:C:\\Temp\\Kelvane.ini\r\n"
             b"help, example /help\r\n\r\n")
# What a short run checks: help, a browser, the debug manager, the missing page.
SMOKE_CASES = ("chrome", "debug-manager", "local-missing")
# Waits are multiplied by this (--time-scale): emulated machines are slower.
time_scale = 1.0

USER_CHOICE = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\http"


class Failures:
    def __init__(self):
        self.messages = []

    def check(self, condition, message):
        if not condition:
            self.messages.append(message)
            print("FAIL: " + message, flush=True)
        return condition


class Wine:
    """Runs programs in the private prefix; output always goes through files."""

    def __init__(self, prefix, work):
        self.prefix = prefix
        self.work = work
        self.env = dict(os.environ)
        self.env.pop("DISPLAY", None)
        self.env.update(WINEPREFIX=str(prefix), WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=",
                        WINEPATH=NPM_FOLDER)

    def drive_c(self, windows_path):
        assert windows_path.upper().startswith("C:\\")
        return self.prefix / "drive_c" / windows_path[3:].replace("\\", "/")

    def run(self, args, records=None, stdin=subprocess.DEVNULL, stdout_path=None, display=None, timeout=60):
        env = dict(self.env)
        if records is not None:
            env["KELVANE_E2E_RECORDS"] = unix_to_windows(records)
        if display:
            env["DISPLAY"] = display
        command = ["wine", *args]
        out_path = stdout_path or (self.work / "last-output.txt")
        with open(out_path, "wb") as out:
            return subprocess.run(command, env=env, cwd=self.work, stdin=stdin, stdout=out,
                                  stderr=subprocess.STDOUT, timeout=timeout * time_scale).returncode

    def start(self, args, stdout_path, display=None):
        env = dict(self.env, DISPLAY=display) if display else self.env
        out = open(stdout_path, "wb")
        return subprocess.Popen(["wine", *args], env=env, cwd=self.work, stdin=subprocess.DEVNULL, stdout=out,
                                stderr=subprocess.STDOUT)

    def reg(self, *args):
        return self.run(["reg", *args])

    def kill_server(self):
        subprocess.run(["wineserver", "-k"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def unix_to_windows(path):
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def reg_string(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def registry_setup():
    """The browsers' registrations, pointing at the stand-ins."""
    keys = {
        "HKEY_CLASSES_ROOT\\ChromeHTML\\shell\\open\\command": f'"{CHROME}" --single-argument %1',
        "HKEY_CLASSES_ROOT\\MSEdgeHTM\\shell\\open\\command": f'"{EDGE}" --single-argument %1',
        "HKEY_CLASSES_ROOT\\Applications\\iexplore.exe\\shell\\open\\command": f'"{IE}" %1',
        "HKEY_CLASSES_ROOT\\FirefoxHTML\\shell\\open\\command": f'"{FIREFOX}" -osint -url "%1"',
        "HKEY_CLASSES_ROOT\\FirefoxHTML-E7CF176E110C211B\\shell\\open\\command": f'"{FIREFOX_DEV}" -osint -url "%1"',
        "HKEY_CLASSES_ROOT\\http\\shell\\open\\command": f'"{SHELL}" "%1"',
        "HKEY_CLASSES_ROOT\\htmlfile\\shell\\open\\command": f'"{SHELL}" "%1"',
    }
    lines = ["Windows Registry Editor Version 5.00", ""]
    for key, command in keys.items():
        lines += [f"[{key}]", "@=" + reg_string(command), ""]
    lines += ["[HKEY_CLASSES_ROOT\\.html]", '@="htmlfile"', ""]
    return "\r\n".join(lines) + "\r\n"


def setup_prefix(wine, args):
    if wine.prefix.exists():
        wine.kill_server()
        shutil.rmtree(wine.prefix)
    if args.prefix_from:
        shutil.copytree(args.prefix_from, wine.prefix, symlinks=True)
    subprocess.run([str(SOURCE_ROOT / "cmake" / "wine-prefix.sh"), str(wine.prefix)], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    recorder = Path(args.recorder)
    for exe in (CHROME, EDGE, IE, OPERA, FIREFOX, FIREFOX_DEV, SHELL, MANAGER, NPM):
        path = wine.drive_c(exe)
        path.parent.mkdir(parents=True, exist_ok=True)
        shutil.copy(recorder, path)
    # Opera's executable is there, but it is registered only later: until then it is a missing browser.
    wine.drive_c(FIREFOX).with_name("application.ini").write_text("[App]\r\nVendor=Mozilla\r\nCodeName=Firefox\r\n")
    wine.drive_c(FIREFOX_DEV).with_name("application.ini").write_text(
        "[App]\r\nVendor=Mozilla\r\nName=Firefox\r\nCodeName=Firefox Developer Edition\r\n")
    for exe in (APP, BARE):
        wine.drive_c(exe).parent.mkdir(parents=True, exist_ok=True)
        shutil.copy(args.kelvane, wine.drive_c(exe))
    wine.drive_c(APP).with_suffix(".html").write_text("<!doctype html><title>fallback</title>\n")
    wine.drive_c(SITE + "\\index.html").parent.mkdir(parents=True, exist_ok=True)
    wine.drive_c(SITE + "\\index.html").write_text("<!doctype html><title>site</title>\n")
    wine.drive_c(ELECTRON_PROJECT).mkdir(parents=True)
    npm_cmd = wine.drive_c(NPM_FOLDER + "\\npm.cmd")
    npm_cmd.parent.mkdir(parents=True)
    npm_cmd.write_bytes(f'@"{NPM}" %*\r\n'.encode())
    reg_file = wine.work / "setup.reg"
    reg_file.write_bytes(b"\xff\xfe" + registry_setup().encode("utf-16-le"))
    return wine.reg("import", unix_to_windows(reg_file)) == 0


class Case:
    def __init__(self, name, ini, records=(), exit_code=0, exe=APP, args=None):
        self.name, self.ini, self.records, self.exit_code = name, ini, list(records), exit_code
        self.exe = exe
        self.args = args


def record(exe, command_line, show, cwd=None):
    """A start as the stand-in saw it; show None: started by another program (shell, cmd.exe)."""
    flags = None if show is None else "1"  # STARTF_USESHOWWINDOW
    return {"exe": exe, "commandline": command_line, "flags": flags,
            "show": None if show is None else str(show), "cwd": cwd}


def read_records(folder, expected_count, wait_seconds=15.0):
    """The records a run's stand-ins wrote, waiting (bounded) for the expected count."""
    deadline = time.monotonic() + wait_seconds * time_scale
    while True:
        files = sorted(folder.glob("*.rec"))
        if len(files) >= expected_count or time.monotonic() > deadline:
            break
        time.sleep(0.05)
    records = []
    for path in files:
        fields = dict(line.split("=", 1) for line in path.read_text(encoding="utf-8").splitlines() if "=" in line)
        records.append(fields)
    return records


def matches(expected, actual):
    """Paths compare without regard to case, as Windows compares them; None matches anything."""
    for key, value in expected.items():
        got = actual.get(key, "")
        if value is not None and (got.lower() != value.lower() if key in ("exe", "cwd") else got != value):
            return False
    return True


def check_records(failures, name, expected, actual):
    remaining = list(actual)
    for wanted in expected:
        found = next((r for r in remaining if matches(wanted, r)), None)
        if failures.check(found is not None, f"{name}: no start like {wanted}; got {remaining}"):
            remaining.remove(found)
    failures.check(not remaining, f"{name}: unexpected starts {remaining}")


def write_config(configs, case):
    path = configs / (case.name + ".ini")
    path.write_text("[Paths]\r\n" + case.ini.replace("\n", "\r\n") + "\r\n")
    return path


def run_case(wine, failures, case, configs, records_root):
    ini_path = configs / (case.name + ".ini")
    if not ini_path.exists():
        write_config(configs, case)
    records = records_root / case.name
    records.mkdir(parents=True)
    args = case.args if case.args is not None else ["/configfile:" + E2E + "\\configs\\" + ini_path.name]
    rc = wine.run([case.exe, *args], records=records)
    failures.check(rc == case.exit_code, f"{case.name}: exit code {rc}, expected {case.exit_code}")
    if case.records:
        check_records(failures, case.name, case.records, read_records(records, len(case.records)))
    return records


def launch_cases():
    chrome = f'"{CHROME}" '
    return [
        Case("chrome", f"URL=localhost:8000\nBrowser=3", [record(CHROME, chrome + TARGET, 1)]),
        Case("chrome-debug", f"URL=localhost:8000\nBrowser=3\nDebug=1",
             [record(CHROME, f'"{CHROME}"--auto-open-devtools-for-tabs ' + TARGET, 1)]),
        Case("https-keeps-scheme", "URL=https://localhost:8443/app/\nHtmlFile=index.html\nBrowser=3",
             [record(CHROME, chrome + "https://localhost:8443/app/index.html", 1)]),
        Case("default-browser", "URL=localhost:8000\nURLParams=?run=1", [record(CHROME, chrome + TARGET + "?run=1", 1)]),
        Case("firefox-developer", "URL=localhost:8000\nBrowser=8\nDebug=1",
             [record(FIREFOX_DEV, f'"{FIREFOX_DEV}" ' + TARGET, 1)]),
        Case("firefox", "URL=localhost:8000\nBrowser=4", [record(FIREFOX, f'"{FIREFOX}" ' + TARGET, 1)]),
        Case("all-browsers", "URL=localhost:8000\nBrowser=2", [
            record(CHROME, chrome + TARGET, 1), record(FIREFOX, f'"{FIREFOX}" ' + TARGET, 1),
            record(EDGE, f'"{EDGE}" ' + TARGET, 1), record(IE, f'"{IE}" ' + TARGET, 1),
            record(OPERA, f"{OPERA} " + TARGET, 1), record(FIREFOX_DEV, f'"{FIREFOX_DEV}" ' + TARGET, 1)]),
        Case("debug-manager", f"URL=localhost:8000\nBrowser=3\nDebug=1\nSingleInstance=1\nDebugManager={MANAGER}",
             [record(MANAGER, f'{MANAGER} /url:"{TARGET}" /browser:3 /debug', 0)]),
        Case("debug-manager-all", f"URL=localhost:8000\nBrowser=2\nSingleInstance=1\nDebugManager={MANAGER}",
             [record(MANAGER, f'{MANAGER} /url:"{TARGET}" /browser:{n}', 0) for n in range(3, 9)]),
        Case("local-file", f"HtmlPath={SITE}\nHtmlFile=index.html\nURLParams=?x=1\nBrowser=3",
             [record(CHROME, chrome + SITE + "\\index.html?x=1", 1)]),
        Case("local-fallback", f"HtmlPath={E2E}\\nosite\nBrowser=3",
             [record(CHROME, chrome + APP[:-4] + ".html", 1)]),
        Case("local-missing", f"HtmlPath={E2E}\\nosite\nBrowser=3", exit_code=1, exe=BARE),
        Case("shell-url", "URL=localhost:8000\nBrowser=0", [record(SHELL, f'"{SHELL}" "{TARGET}"', None)]),
        Case("shell-html", f"HtmlPath={SITE}\nHtmlFile=index.html\nBrowser=0",
             [record(SHELL, f'"{SHELL}" "{SITE}\\index.html"', None)]),
        Case("electron", f"Electron=1\nElectronBuild=258\nHtmlPath={ELECTRON_PROJECT}\nBrowser=3\nURL=http://x",
             [record(NPM, f'"{NPM}" run-script run-win32', None, cwd=ELECTRON_PROJECT)]),
    ]


def snapshot(wine, label):
    """The registry (machine and user) and a listing of drive C: with sizes and times."""
    exports = []
    for hive in ("HKLM", "HKCU"):
        path = wine.work / f"{label}-{hive}.reg"
        wine.reg("export", hive, unix_to_windows(path), "/y")
        exports.append(path.read_bytes())
    # Folders are listed without their times: the crash reporter's start-up
    # may create and remove its temporary folder, which touches only the
    # time of the folder around it. Any file written or left behind shows.
    listing = []
    for root, dirs, files in os.walk(wine.prefix / "drive_c"):
        listing += [str((Path(root) / name).relative_to(wine.prefix)) + "/" for name in dirs]
        for name in files:
            path = Path(root) / name
            st = path.lstat()
            listing.append(f"{path.relative_to(wine.prefix)} {st.st_size} {st.st_mtime_ns}")
    return exports, sorted(listing)


# Wine's own display-driver keys: written whenever wine sets up its desktop,
# which on a slow machine may happen again between the two snapshots. The
# launcher never touches them.
WINE_DISPLAY_KEYS = "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Video\\"


def registry_lines(exports):
    """The exported keys and values, less wine's display-driver keys."""
    kept, skipping = [], False
    for data in exports:
        for line in data.decode("utf-16", "replace").splitlines():
            if line.startswith("["):
                skipping = line.startswith(WINE_DISPLAY_KEYS)
            if not skipping:
                kept.append(line)
    return kept


def registry_changes(before, after):
    """The first lines that differ between two sets of exports, for the failure message."""
    old, new = set(registry_lines(before)), set(registry_lines(after))
    return {"gone": sorted(old - new)[:10], "new": sorted(new - old)[:10]}


def check_help(wine, failures, records_root):
    out = wine.work / "help-output.txt"
    records = records_root / "help"
    records.mkdir(parents=True)
    rc = wine.run([APP, "/configfile:" + E2E + "\\configs\\chrome.ini", "-HELP"], records=records,
                  stdout_path=out)
    failures.check(rc == 0, f"help: exit code {rc}")
    failures.check(out.read_bytes() == HELP_TEXT, f"help: output {out.read_bytes()!r}")
    return records


def start_xvfb():
    read_end, write_end = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-nolisten", "tcp", "-screen", "0",
                               "1024x768x24"], pass_fds=[write_end], stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
    os.close(write_end)
    number = b""
    with os.fdopen(read_end, "rb") as pipe:
        while not number.endswith(b"\n"):
            chunk = pipe.read(1)
            if not chunk:
                break
            number += chunk
    return server, ":" + number.decode().strip()


def check_error_boxes(wine, failures, args, configs, records_root):
    """Errors that leave the program: each box's text read from the real window, then exit code 1."""
    manager = E2E + "\\dbg\\Gone.exe"
    missing = Case("missing-manager", f"URL=localhost:8000\nBrowser=3\nSingleInstance=1\nDebugManager={manager}",
                   exit_code=1)
    write_config(configs, missing)
    help_output = E2E + "\\help-output.txt"
    # Help mode started with a null standard output (as from the desktop), or
    # with output to a file and a null standard input.
    help_run = [STARTER, "-", "-", f"{APP} /help"]
    help_run_no_input = [STARTER, "-", help_output, f"{APP} /help"]
    boxes = [  # name, command, class, message as shown
        ("missing-manager", [APP, "/configfile:" + E2E + "\\configs\\missing-manager.ini"], "EKelvaneWork",
         f"The Zarvel DBG manager [{manager}] doesn't exist!."),
        ("help-without-output", help_run, "EInOutError", "I/O error 105."),
        ("help-without-input", help_run_no_input, "EInOutError", "I/O error 6."),
    ]
    folders = []
    for name, *_ in boxes:
        folders.append(records_root / name)
        folders[-1].mkdir(parents=True)
    if not failures.check(shutil.which("Xvfb") is not None, "Xvfb is not installed, the error boxes cannot be read"):
        return folders
    shutil.copy(args.boxreader, wine.drive_c(E2E + "\\tools\\boxreader.exe"))
    shutil.copy(args.startwith, wine.drive_c(STARTER))
    wine.kill_server()  # the desktop of these runs belongs to the private display
    server, display = start_xvfb()
    try:
        for (name, command, class_name, message), records in zip(boxes, folders):
            box_text = wine.work / f"{name}-box.txt"
            reader = wine.start([E2E + "\\tools\\boxreader.exe", "Application Error", unix_to_windows(box_text),
                                 str(int(30000 * time_scale))], wine.work / f"{name}-reader-output.txt",
                                display=display)
            rc = wine.run(command, records=records, display=display, timeout=60)
            reader_rc = reader.wait(timeout=40 * time_scale)
            failures.check(rc == 1, f"{name}: exit code {rc}, expected 1")
            failures.check(reader_rc == 0, f"{name}: no box titled Application Error (reader {reader_rc})")
            text = box_text.read_text(encoding="utf-8") if box_text.exists() else ""
            lines = [line.strip() for line in text.replace("\r", "").splitlines() if line.strip()]
            head = f"Exception {class_name} in module Project1.exe at "
            address = lines[0][len(head):-1] if lines else ""
            ok = (len(lines) == 2 and lines[0].startswith(head) and lines[0].endswith(".")
                  and len(address) == args.bits // 4 and all(c in "0123456789ABCDEF" for c in address)
                  and lines[1] == message)
            failures.check(ok, f"{name}: box text {text!r}")
    finally:
        wine.kill_server()
        server.terminate()
        server.wait()
    written = wine.drive_c(help_output).read_bytes() if wine.drive_c(help_output).exists() else b""
    failures.check(written == HELP_TEXT, f"help-without-input: output {written!r}")
    return folders


def run_all(wine, failures, args, configs, records_root, silent):
    """Every case: launches, the untouched registry and drive C:, the error boxes."""
    silent.append(run_case(wine, failures, Case("missing-browser", "URL=localhost:8000\nBrowser=7"), configs,
                           records_root))
    wine.reg("add", "HKCR\\Applications\\opera.exe\\shell\\open\\command", "/ve", "/d", f'{OPERA} "%1"', "/f")
    wine.reg("add", USER_CHOICE + "\\UserChoice", "/v", "ProgId", "/d", "ChromeHTML", "/f")

    cases = launch_cases()
    for case in cases:  # the configuration files are written before the snapshot
        write_config(configs, case)
    # Wine sets up its desktop and display driver, writing to the registry,
    # when a program first needs them (the shell, the command interpreter):
    # that happens once, before the comparison.
    for case in cases:
        if case.name in ("shell-url", "electron"):
            warm_up = records_root / "warm-up" / case.name
            warm_up.mkdir(parents=True)
            wine.run([case.exe, "/configfile:" + E2E + "\\configs\\" + case.name + ".ini"], records=warm_up)
            read_records(warm_up, len(case.records))
    before = snapshot(wine, "before")
    for case in cases:
        folder = run_case(wine, failures, case, configs, records_root)
        if not case.records:
            silent.append(folder)
    after = snapshot(wine, "after")
    failures.check(registry_lines(before[0]) == registry_lines(after[0]), f"the launches changed the registry: {registry_changes(before[0], after[0])}")
    changed = sorted(set(before[1]) ^ set(after[1]))
    failures.check(not changed, f"the launches changed drive C: {changed[:10]}")

    # Newer systems keep the current choice apart; it wins over the stale legacy one.
    wine.reg("add", USER_CHOICE + "\\UserChoiceLatest\\ProgId", "/v", "ProgId", "/d", "OperaStable", "/f")
    run_case(wine, failures, Case("default-current-choice", "URL=localhost:8000",
                                  [record(OPERA, f"{OPERA} " + TARGET, 1)]), configs, records_root)

    # Edge registered, its executable gone: the shell gets Edge's protocol.
    wine.reg("add", "HKCR\\MSEdgeHTM\\shell\\open\\command", "/ve", "/d", f'"{E2E}\\gone\\msedge.exe" %1', "/f")
    wine.reg("add", "HKCR\\microsoft-edge", "/v", "URL Protocol", "/d", "", "/f")
    wine.reg("add", "HKCR\\microsoft-edge\\shell\\open\\command", "/ve", "/d", f'"{SHELL}" "%1"', "/f")
    run_case(wine, failures, Case("edge-protocol", "URL=localhost:8000\nBrowser=5\nDebug=1",
                                  [record(SHELL, f'"{SHELL}" "microsoft-edge:{TARGET}"', None)]),
             configs, records_root)

    silent += check_error_boxes(wine, failures, args, configs, records_root)
    return len(launch_cases()) + 8


def run_smoke(wine, failures, configs, records_root, silent):
    """A few launches, for when the whole suite does not fit the time."""
    for case in launch_cases():
        if case.name in SMOKE_CASES:
            folder = run_case(wine, failures, case, configs, records_root)
            if not case.records:
                silent.append(folder)
    return len(SMOKE_CASES) + 1


def main():
    global time_scale
    parser = argparse.ArgumentParser()
    for name in ("kelvane", "recorder", "boxreader", "startwith", "work"):
        parser.add_argument("--" + name, required=True)
    parser.add_argument("--bits", type=int, choices=(32, 64), default=64, help="of the program under test")
    parser.add_argument("--prefix-from", help="a prepared wine prefix to copy instead of setting one up")
    parser.add_argument("--time-scale", type=float, default=1.0, help="factor for every wait")
    parser.add_argument("--smoke", action="store_true", help="help and " + ", ".join(SMOKE_CASES) + " only")
    args = parser.parse_args()
    time_scale = args.time_scale
    started = time.monotonic()
    work = Path(args.work).resolve()
    if work.exists():
        shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)
    wine = Wine(work / "wineprefix", work)
    failures = Failures()
    count = 0
    try:
        if not failures.check(setup_prefix(wine, args), "setting up the registry failed"):
            return 1
        configs = wine.drive_c(E2E + "\\configs")
        configs.mkdir(parents=True)
        records_root = work / "records"
        silent = []  # folders of runs that must start nothing, checked at the end

        silent.append(check_help(wine, failures, records_root))
        if args.smoke:
            count = run_smoke(wine, failures, configs, records_root, silent)
        else:
            count = run_all(wine, failures, args, configs, records_root, silent)
        for folder in silent:
            left = read_records(folder, 0, 0)
            failures.check(not left, f"{folder.name}: started {left}, expected nothing")
    finally:
        wine.kill_server()
    print(f"{count} end-to-end cases ({args.bits}-bit) in {time.monotonic() - started:.1f} s, "
          f"{len(failures.messages)} failures")
    return 1 if failures.messages else 0


if __name__ == "__main__":
    sys.exit(main())
