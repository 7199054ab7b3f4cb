#!/usr/bin/env python3
"""The Bugzilla stand-in checked with python-bugzilla, the tracker's own
client library: the calls the reporter makes (version, products with their
components and versions, field values, a new bug, an attachment) must be
answered as the tracker answers them, and what the client sent must arrive."""
import io, os, subprocess, sys, tempfile

import bugzilla

HERE = os.path.dirname(os.path.abspath(__file__))
LOGIN = {"Bugzilla_login": "tester@example.org", "Bugzilla_password": "pw \u00e4&<"}
failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    if not condition:
        failures.append(what)


def main():
    with tempfile.TemporaryDirectory() as folder:
        log = os.path.join(folder, "log")
        server = subprocess.Popen([sys.executable, os.path.join(HERE, "bugzilla_server.py"), log, "7"],
                                  stdout=subprocess.PIPE, text=True)
        try:
            port = int(server.stdout.readline())
            bz = bugzilla.Bugzilla("http://127.0.0.1:%d/bugs/xmlrpc.cgi" % port, use_creds=False, force_rest=False)
            check((bz.bz_ver_major, bz.bz_ver_minor) == (5, 0), "the version as the client reads it")
            products = bz.product_get(ptype="enterable")
            check([p["name"] for p in products] == ["Kelvane", "Other"], "products")
            check([c["name"] for c in products[0]["components"]] == ["Launcher", "Reporter"], "components")
            priorities = bz._proxy.Bug.fields({})["fields"][0]
            check([v["name"] for v in priorities["values"]] == ["P1", "P2", "P3"], "field values")
            summary = "Crash & <b> ]]> \u00fc\u4e2d"
            data = bz.build_createbug(product="Kelvane", component="Launcher", summary=summary, version="2.0",
                                      description="line 1\nline 2")
            data.update(LOGIN)
            bug = bz.createbug(data)
            check(bug.bug_id == 42, "the new bug's id")
            content = bytes(range(256)) * 3
            ids = bz.attachfile(42, io.BytesIO(content), "bugreport.txt", file_name="bugreport.txt",
                                content_type="text/plain", **LOGIN)
            check(ids in (7, [7]), "the attachment's id")
        finally:
            server.kill()
            server.wait()
        with open(log) as f:
            lines = f.read().splitlines()
    created = dict(zip(bytes.fromhex(lines[0].split(" ")[1]).decode().split(","),
                       (bytes.fromhex(v).decode() for v in lines[0].split(" ")[2:]))) if lines else {}
    check(created.get("summary") == summary and created.get("component") == "Launcher",
          "the bug arrived with its summary intact")
    check(len(lines) == 2 and lines[1].endswith(" text/plain " + content.hex()), "the attachment arrived intact")
    print("%d passed, %d failed" % (0 if failures else 1, 1 if failures else 0))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
