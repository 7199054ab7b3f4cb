#!/usr/bin/env python3
"""The inventory lists of a 64-bit program under wine64 against the system's
own snapshot functions and the files themselves: the modules list holds the
loader's modules at their bases with the versions python3-pefile reads from
the same files; the processes list holds toolhelp's processes, with an idle
and a below-normal child named so; the hardware list follows the prefix's
registry (class names, a driver of provider "Acme" with its version, the
system's own providers "microsoft" and "(Standard)" without, a device hidden
by its driver's characteristics left out); a hundred reports leave the
handle count where it was.

Usage: check_inventory_wine.py SAMPLE.exe PREFIX"""
import os, re, subprocess, sys

import pefile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", "..", ".."))
SAMPLE, PREFIX = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    if not condition:
        failures.append(what)


def wine(*args):
    env = dict(os.environ, KELVANE_WINEPREFIX=PREFIX)
    return subprocess.run([os.path.join(ROOT, "cmake", "wine-run.sh"), *args], env=env,
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=180)


CLASS_KEY = "HKLM\\System\\CurrentControlSet\\Control\\Class\\"
SYSTEM = "{4D36E97D-E325-11CE-BFC1-08002BE10318}"


def set_driver_value(driver, name, kind, data):
    done = wine("reg", "add", CLASS_KEY + driver, "/v", name, "/t", kind, "/d", data, "/f")
    check(done.returncode == 0, "reg add %s %s" % (driver, name))


def class_names():
    """Class GUID (upper case) -> the class key's default value, from the prefix's system.reg."""
    names, current = {}, None
    with open(os.path.join(PREFIX, "system.reg"), encoding="utf-8", errors="replace") as registry:
        for line in registry:
            key = re.match(r"^\[System\\\\CurrentControlSet\\\\Control\\\\Class\\\\(\{[^}\\]+\})\]", line)
            if key:
                current = key.group(1).upper()
            elif line.startswith("["):
                current = None
            elif current and line.startswith("@="):
                names[current] = line[2:].strip().strip('"')
    return names


def enum_driver(description):
    """The driver key of the device of this description in the prefix's system.reg."""
    current = None
    with open(os.path.join(PREFIX, "system.reg"), encoding="utf-8", errors="replace") as registry:
        for line in registry:
            if line.startswith("["):
                current = {}
            elif current is not None and "=" in line and line.startswith('"'):
                name, _, value = line.partition("=")
                current[name.strip('"')] = value.strip().strip('"').replace("\\\\", "\\")
                if current.get("DeviceDesc") == description and "Driver" in current:
                    return current["Driver"]
    return None


def hardware(lines):
    """Class text -> device lines, in order."""
    classes, current = {}, None
    for line in lines:
        if line.startswith("+ "):
            current = line[2:]
            classes[current] = []
        elif line.startswith("  - ") and current is not None:
            classes[current].append(line[4:])
    return classes


def run_sample():
    done = wine(SAMPLE)
    text = done.stdout.decode("utf-8", "replace").replace("\r\n", "\n")
    sections, name = {}, None
    for line in text.splitlines():
        if line.startswith("== "):
            name = line[3:]
            sections[name] = []
        elif name is not None and line.strip():
            sections[name].append(line)
    return done.returncode, sections, text


def host_path(windows_path):
    """A C: path of the prefix on the Linux side, matched without case as wine does."""
    if not windows_path.lower().startswith("c:\\"):
        return None
    path = os.path.join(PREFIX, "drive_c")
    for part in windows_path[3:].split("\\"):
        if not part:
            continue
        try:
            match = next((e for e in os.listdir(path) if e.lower() == part.lower()), None)
        except (NotADirectoryError, FileNotFoundError):
            return None
        if match is None:
            return None
        path = os.path.join(path, match)
    return path


def pefile_version(path):
    try:
        image = pefile.PE(path, fast_load=True)
        image.parse_data_directories([pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    except (pefile.PEFormatError, OSError):
        return None
    for fixed in getattr(image, "VS_FIXEDFILEINFO", []) or []:
        ms, ls = fixed.FileVersionMS, fixed.FileVersionLS
        if ms or ls:
            return "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
    return None


VERSION = re.compile(r"^\d+\.\d+\.\d+\.\d+$")


def module_rows(lines):
    """base -> (name, version or None, folder) from our list's lines."""
    rows = {}
    for line in lines:
        fields = line.split()
        if len(fields) < 2:
            continue
        base, name = int(fields[0], 16), fields[1]
        rest = line.split(name, 1)[1].strip()
        version = None
        if rest.split(" ", 1)[0] and VERSION.match(rest.split(" ", 1)[0]):
            version, _, rest = rest.partition(" ")
        rows[base] = (name, version, rest.strip())
    return rows


def undo_driver_edits():
    """A prefix kept from an earlier run starts again from wineboot's values."""
    if not os.path.exists(os.path.join(PREFIX, "system.reg")):
        return
    for description in ("Wine HID bus driver", "Wine USB bus driver"):
        driver = enum_driver(description)
        for name in ("ProviderName", "DriverVersion", "Characteristics"):
            if driver:
                wine("reg", "delete", CLASS_KEY + driver, "/v", name, "/f")


def main():
    undo_driver_edits()
    rc, sections, text = run_sample()
    check(rc == 0, "the sample ran (exit code %d)" % rc)
    for needed in ("children", "modules", "toolhelp modules", "processes", "toolhelp processes", "handles"):
        if needed not in sections:
            print(text)
            check(False, "the sample printed its %s" % needed)
            return

    ours = module_rows(sections["modules"])
    loader = {}
    for line in sections["toolhelp modules"]:
        address, path = line.split(" ", 1)
        loader[int(address, 16)] = path
    check(set(ours) == set(loader), "the modules list has the loader's %d modules at their bases (ours %d)"
          % (len(loader), len(ours)))
    names_agree = all(ours[b][0].lower() == loader[b].rsplit("\\", 1)[-1].lower() for b in set(ours) & set(loader))
    check(names_agree, "every module has the loader's file name")
    compared = wrong = 0
    for base, (name, version, folder) in ours.items():
        path = host_path(folder.rstrip("\\") + "\\" + name) if folder else None
        expected = pefile_version(path) if path else None
        if expected is None and version is None:
            continue
        compared += 1
        if expected != version:
            wrong += 1
            print("     %s: ours %s, pefile %s" % (name, version, expected))
    check(compared >= 3 and wrong == 0, "versions equal pefile's for all %d modules that have one" % compared)

    idle, below = (int(x) for x in sections["children"][0].split()[:2])
    processes = {}
    for line in sections["processes"]:
        processes[int(line.split()[0], 16)] = line
    snapshot = {int(line.split()[0]) for line in sections["toolhelp processes"]}
    check(processes.keys() == snapshot, "the processes list has toolhelp's %d processes (ours %d)"
          % (len(snapshot), len(processes)))
    check(" idle " in processes.get(idle, "") + " ", "the idle child is reported as idle")
    check("below normal" in processes.get(below, ""), "the below-normal child is reported as below normal")

    # The count where the system keeps one; the value of a new handle in any
    # case (the lowest free one is handed out, so a leak raises it).
    check_hardware(hardware(sections.get("hardware", [])))

    before, after, probe_before, probe_after = sections["handles"][0].split()
    check(before == after, "a hundred reports leave the handle count where it was (%s, then %s)" % (before, after))
    check(probe_before == probe_after, "a new handle after a hundred reports has the value it had before (%s, %s)"
          % (probe_before, probe_after))


def check_hardware(baseline):
    names = class_names()
    # A class the registry gives no name to is listed by its GUID; the file
    # on disk may lag the running registry, so only names are compared.
    check(bool(baseline) and all(c.startswith("{") or c in names.values() for c in baseline),
          "every listed class is named as the prefix's registry names it")
    # The root devices wineboot installs keep their driver keys; the display
    # keys are written anew by the display driver.
    system = names.get(SYSTEM, SYSTEM)
    bus, usb = enum_driver("Wine HID bus driver"), enum_driver("Wine USB bus driver")
    check(bus is not None and usb is not None, "the bus drivers' keys are in the registry")
    if bus is None or usb is None:
        return
    check(baseline.get(system) == ["Wine HID bus driver", "Wine USB bus driver"], "both bus drivers are listed")
    set_driver_value(bus, "DriverVersion", "REG_SZ", "1.2.3.4")
    set_driver_value(usb, "Characteristics", "REG_DWORD", "8")
    for provider, shown in (("Acme", "Wine HID bus driver (driver 1.2.3.4)"),
                            ("microsoft", "Wine HID bus driver"), ("(Standard)", "Wine HID bus driver")):
        set_driver_value(bus, "ProviderName", "REG_SZ", provider)
        edited = hardware(run_sample()[1].get("hardware", []))
        check(edited.get(system) == [shown], "a driver of %s: %s, and the hidden device is left out" % (provider, shown))
        others = {c: d for c, d in edited.items() if c != system}
        check(others == {c: d for c, d in baseline.items() if c != system}, "nothing else changed")


if __name__ == "__main__":
    main()
    sys.exit(1 if failures else 0)
