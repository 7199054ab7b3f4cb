#!/usr/bin/env python3
"""Archives written by the zip sample tool, read by independent readers:
Python's zipfile and zlib, unzip -t, zipinfo -v and 7z t."""
import os, random, shutil, subprocess, sys, time, unittest, zipfile, zlib

TOOL, WORK = sys.argv[1], sys.argv[2]
del sys.argv[1:3]


def run(*cmd):
    return subprocess.run(cmd, capture_output=True, text=True, errors="replace")


class Readers(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        shutil.rmtree(WORK, ignore_errors=True)
        os.makedirs(WORK)
        rnd = random.Random(5)
        cls.sources = {
            "bugreport.txt": b"".join(b"Thread $%x: 0040a1f3 Kelvane.exe Main.pas 120\r\n" % i for i in range(20000)),
            "screenshot.png": bytes(rnd.getrandbits(8) for _ in range(50000)),
            "empty.log": b"",
        }
        cls.paths = {}
        for name, data in cls.sources.items():
            p = os.path.join(WORK, name)
            with open(p, "wb") as f:
                f.write(data)
            cls.paths[name] = p
        # A known old moment for one source, to check the stored date.
        cls.moment = time.mktime((2003, 7, 14, 9, 26, 52, 0, 0, -1))
        os.utime(cls.paths["empty.log"], (cls.moment, cls.moment))
        cls.archive = os.path.join(WORK, "report.zip")
        r = run(TOOL, cls.archive, cls.paths["bugreport.txt"], "Fehlerbericht – ü.txt",
                cls.paths["screenshot.png"], "-", cls.paths["empty.log"], "logs\\empty.log")
        assert r.returncode == 0, r.stderr

    def test_zipfile_names_dates_and_contents(self):
        with zipfile.ZipFile(self.archive) as z:
            self.assertIsNone(z.testzip())
            infos = z.infolist()
            self.assertEqual([i.filename for i in infos],
                             ["Fehlerbericht – ü.txt", "screenshot.png", "logs/empty.log"])
            for info, data in zip(infos, self.sources.values()):
                self.assertEqual(z.read(info), data)
                self.assertEqual(info.flag_bits, 0x0800)
                self.assertEqual(info.compress_type, zipfile.ZIP_DEFLATED)
                self.assertEqual((info.create_version, info.extract_version), (20, 20))
                self.assertEqual(info.extra, b"")
            stored = time.mktime(infos[2].date_time + (0, 0, -1))
            self.assertLessEqual(abs(stored - self.moment), 2)
            now = time.time()
            self.assertLessEqual(abs(time.mktime(infos[0].date_time + (0, 0, -1)) - now), 120)

    def test_entries_are_zlibs_own_level_2_raw_deflate(self):
        with open(self.archive, "rb") as f:
            raw = f.read()
        with zipfile.ZipFile(self.archive) as z:
            for info, data in zip(z.infolist(), self.sources.values()):
                start = info.header_offset + 30 + len(info.filename.encode("utf-8"))
                c = zlib.compressobj(2, zlib.DEFLATED, -15, 8)
                self.assertEqual(raw[start:start + info.compress_size], c.compress(data) + c.flush(),
                                 info.filename)

    def test_unzip_t(self):
        r = run("unzip", "-t", self.archive)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        self.assertIn("No errors detected", r.stdout)

    def test_zipinfo_v(self):
        r = run("zipinfo", "-v", self.archive)
        self.assertEqual(r.returncode, 0, r.stderr)
        out = r.stdout
        self.assertEqual(out.count("file system or operating system of origin:      MS-DOS"), 3)
        self.assertEqual(out.count("version of encoding software:                   2.0"), 3)
        self.assertEqual(out.count("minimum software version required to extract:   2.0"), 3)
        self.assertEqual(out.count("compression method:                             deflated"), 3)
        self.assertEqual(out.count("file security status:                           not encrypted"), 3)
        # Bit 11 of the flags: the name is UTF-8 (unzip prints the name itself
        # decoded and reports the file attributes as MS-DOS ones).
        self.assertIn("Fehlerbericht", out)
        self.assertRegex(out, r"MS-DOS file attributes \(20 hex\):\s+arc")

    def test_7z_t(self):
        if not shutil.which("7z"):
            self.skipTest("7z missing")
        r = run("7z", "t", self.archive)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        self.assertIn("Everything is Ok", r.stdout)

    def test_missing_only_source_leaves_no_archive(self):
        target = os.path.join(WORK, "none.zip")
        r = run(TOOL, target, os.path.join(WORK, "does-not-exist"), "-")
        self.assertEqual(r.returncode, 1)
        self.assertFalse(os.path.exists(target))
        self.assertEqual(sorted(os.listdir(WORK)),
                         sorted(list(self.sources) + ["report.zip"]))


if __name__ == "__main__":
    unittest.main(verbosity=1)
