#!/usr/bin/env python3
"""Mails sent by the SMTP sample tool to a real server (aiosmtpd on
127.0.0.1), read back by Python's email package."""
import email, email.policy, email.utils, os, random, re, shutil, socket, subprocess, sys, time, unittest

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult

TOOL, WORK = sys.argv[1], sys.argv[2]
del sys.argv[1:3]


class Recorder:
    def __init__(self):
        self.envelopes = []

    async def handle_DATA(self, server, session, envelope):
        self.envelopes.append(envelope)
        return "250 OK queued"


class Server:
    """aiosmtpd on a free loopback port; it stops with the with-block."""

    def __init__(self, accounts=None, auth_required=False):
        self.recorder = Recorder()
        self.logins = []
        probe = socket.socket()
        probe.bind(("127.0.0.1", 0))
        self.port = probe.getsockname()[1]
        probe.close()
        kwargs = {}
        if accounts is not None:
            def authenticate(server, session, envelope, mechanism, data):
                self.logins.append((mechanism, data.login, data.password))
                ok = accounts.get(data.login) == data.password
                # handled=False: the server itself answers a failure with 535.
                return AuthResult(success=ok, handled=ok)
            kwargs = dict(authenticator=authenticate, auth_required=auth_required, auth_require_tls=False)
        self.controller = Controller(self.recorder, hostname="127.0.0.1", port=self.port, **kwargs)

    def __enter__(self):
        self.controller.start()
        return self

    def __exit__(self, *exc):
        self.controller.stop()


def write(name, data):
    path = os.path.join(WORK, name)
    with open(path, "wb") as f:
        f.write(data)
    return path


def send(server, *args):
    r = subprocess.run([TOOL, "127.0.0.1", str(server.port), *args], capture_output=True, timeout=60)
    return r.returncode, r.stdout.decode("utf-8", "replace").strip()


def parse(envelope):
    return email.message_from_bytes(envelope.original_content, policy=email.policy.default)


class Delivery(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        shutil.rmtree(WORK, ignore_errors=True)
        os.makedirs(WORK)

    def assertMailLines(self, raw):
        for line in raw.split(b"\r\n"):
            self.assertLessEqual(len(line), 998)
        self.assertNotIn(b"\n", raw.replace(b"\r\n", b""))

    def test_plain_mail_headers_body_and_attachments(self):
        rnd = random.Random(7)
        body = "Ärger im Programm.\r\n.\r\n.foo\r\n..bar\nlast line without CR"
        subject = "Fehlerbericht für Kelvane: " + "sehr langer Betreff, " * 6 + "Ende"
        report = b"".join(b"Thread $%x: 0040a1f3 Main.pas 120\r\n" % i for i in range(400))
        shot = bytes(rnd.getrandbits(8) for _ in range(5000))
        chunk = bytes(range(256))
        files = [(write("bugreport.qbr", report), "bugreport.qbr"),
                 (write("shot.png", shot), 'screen "1".png'),
                 (write("chunk.bin", chunk), 'Daten "roh" – ü.bin')]
        args = ["--from", "Kelvane Reporter <reporter@example.org>",
                "--to", "Support Team <support@example.org>; second@example.org",
                "--reply-to", "Doe, John <john@example.org>",
                "--subject", subject, "--body-file", write("body.txt", body.encode("utf-8"))]
        for path, name in files:
            args += ["--attach", path, name]
        with Server() as server:
            code, out = send(server, *args)
        self.assertEqual((code, out), (0, "delivered"))
        [envelope] = server.recorder.envelopes
        self.assertEqual(envelope.mail_from, "reporter@example.org")
        self.assertEqual(envelope.rcpt_tos, ["support@example.org", "second@example.org"])
        self.assertMailLines(envelope.original_content)

        msg = parse(envelope)
        self.assertEqual(list(msg.keys()), ["To", "From", "Reply-To", "Subject", "Date", "Message-ID",
                                            "MIME-Version", "Content-Type"])
        self.assertEqual(msg["To"], "Support Team <support@example.org>")
        self.assertEqual(msg["From"].addresses[0].display_name, "Kelvane Reporter")
        self.assertEqual(msg["Reply-To"].addresses[0].display_name, "Doe, John")
        self.assertEqual(msg["Reply-To"].addresses[0].addr_spec, "john@example.org")
        self.assertEqual(str(msg["Subject"]), subject)
        self.assertRegex(msg["Message-ID"], r"^<[0-9a-f]{16}@RuvexExcept>$")
        sent = email.utils.parsedate_to_datetime(msg["Date"]).timestamp()
        self.assertLess(abs(sent - time.time()), 300)
        self.assertRegex(envelope.original_content.decode("latin-1"),
                         r"\r\nDate: [1-9]\d? [A-Z][a-z]{2} \d{4} \d\d:\d\d:\d\d UT\r\n")
        self.assertEqual(msg.get_content_type(), "multipart/mixed")
        self.assertEqual(msg.get_param("boundary"), "Pellowind_multipart_boundary")

        parts = list(msg.iter_parts())
        self.assertEqual(len(parts), 4)
        text = parts[0]
        self.assertEqual(text.get_content_charset(), "iso-8859-1")
        self.assertEqual(text["Content-Transfer-Encoding"], "8bit")
        self.assertEqual(text.get_content().replace("\r\n", "\n"), body.replace("\r\n", "\n") + "\n")
        for part, (path, name), kind in zip(parts[1:], files,
                                            ["text/plain", "image/png", "application/octet-stream"]):
            with open(path, "rb") as f:
                self.assertEqual(part.get_payload(decode=True), f.read())
            self.assertEqual(part.get_filename(), name)
            self.assertEqual(part.get_content_type(), kind)
            self.assertEqual(part.get_content_disposition(), "attachment")
        # 255-byte chunks: the 256-byte file is one line of 340 and one of 4.
        chunk_lines = parts[3].get_payload().split()
        self.assertEqual([len(line) for line in chunk_lines], [340, 4])

    def test_utf8_body_is_base64_in_short_lines(self):
        body = "Fehler € " + "x" * 3000 + "\r\nzweite Zeile ✓"
        subject = "Ω crash " + "✓😀 Absturz " * 12
        with Server() as server:
            code, out = send(server, "--subject", subject, "--body-file", write("utf8.txt", body.encode()))
        self.assertEqual((code, out), (0, "delivered"))
        [envelope] = server.recorder.envelopes
        self.assertMailLines(envelope.original_content)
        msg = parse(envelope)
        self.assertEqual(str(msg["Subject"]), subject)
        text = next(msg.iter_parts())
        self.assertEqual(text["Content-Transfer-Encoding"], "base64")
        self.assertEqual(text.get_content_charset(), "utf-8")
        self.assertTrue(all(len(l) <= 76 for l in text.get_payload().split("\r\n")))
        self.assertEqual(text.get_content().replace("\r\n", "\n"), body.replace("\r\n", "\n"))

    def test_auth_login(self):
        with Server(accounts={b"reporter": b"s3cret \xc3\xa4"}, auth_required=True) as server:
            code, out = send(server, "--account", "reporter", "--password", "s3cret ä")
            self.assertEqual((code, out), (0, "delivered"))
            self.assertEqual(server.logins, [("LOGIN", b"reporter", b"s3cret \xc3\xa4")])
            code, out = send(server, "--account", "reporter", "--password", "wrong")
            self.assertEqual(code, 1)
            self.assertRegex(out, r"^failed: Authentication failed \(535 ")
        self.assertEqual(len(server.recorder.envelopes), 1)

    def test_tls_asked_without_starttls_sends_no_password(self):
        with Server(accounts={b"reporter": b"pw"}, auth_required=False) as server:
            code, out = send(server, "--tls", "--account", "reporter", "--password", "pw")
        self.assertEqual((code, out), (0, "delivered"))
        self.assertEqual(server.logins, [])
        self.assertEqual(len(server.recorder.envelopes), 1)

    def test_failed_attachment_read_drops_the_message(self):
        path = write("half.bin", bytes(1000))
        with Server() as server:
            code, out = send(server, "--attach", path, "half.bin", "--fail-after", "600")
            time.sleep(0.3)
        self.assertEqual(code, 1)
        self.assertEqual(server.recorder.envelopes, [])

    def test_unsafe_addresses_are_not_sent(self):
        with Server() as server:
            code, out = send(server, "--to", "evil@example.org>\r\nRCPT TO:<x@example.org, ok@example.org")
            self.assertEqual((code, out), (0, "delivered"))
            code, out = send(server, "--from", "Bad\r\nBcc: x@example.org <reporter@example.org>")
            self.assertEqual(code, 1)
        [envelope] = server.recorder.envelopes
        self.assertEqual(envelope.rcpt_tos, ["ok@example.org"])
        self.assertEqual(parse(envelope)["To"], "ok@example.org")

if __name__ == "__main__":
    unittest.main(verbosity=2)
