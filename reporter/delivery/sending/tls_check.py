#!/usr/bin/env python3
"""A real bug report sent by the 64-bit sample under wine64 through Schannel
to aiosmtpd on 127.0.0.1, with STARTTLS required and with TLS from the first
byte, judged by Python's email package and zipfile. The test makes its own
certificate authority with openssl; the sample puts it into the prefix's
root store (CertAddEncodedCertificateToStore on the current user's "ROOT").

Usage: tls_check.py SAMPLE.exe WORK"""
import email, email.policy, io, os, shutil, socket, ssl, subprocess, sys, zipfile

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", "..", ".."))
SAMPLE, WORK = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
PREFIX = os.path.join(WORK, "wineprefix")
ACCOUNT, PASSWORD = "reporter", "s3cret-Pa55"
failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    if not condition:
        failures.append(what)


def openssl(*args):
    subprocess.run(["openssl", *args], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)


def make_authority(folder, name):
    key, cert = os.path.join(folder, name + "-key.pem"), os.path.join(folder, name + ".pem")
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=" + name,
            "-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign",
            "-keyout", key, "-out", cert)
    openssl("x509", "-in", cert, "-outform", "DER", "-out", os.path.join(folder, name + ".der"))
    return cert, key


def make_server_cert(folder, name, host, authority):
    key, cert, req, ext = (os.path.join(folder, name + s) for s in ("-key.pem", ".pem", ".req", ".ext"))
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=" + host, "-keyout", key, "-out", req)
    with open(ext, "w") as f:
        f.write("subjectAltName=DNS:%s\nextendedKeyUsage=serverAuth\n" % host)
    openssl("x509", "-req", "-in", req, "-CA", authority[0], "-CAkey", authority[1], "-CAcreateserial",
            "-days", "2", "-extfile", ext, "-out", cert)
    return cert, key


class Recorder:
    def __init__(self):
        self.envelopes = []

    async def handle_DATA(self, server, session, envelope):
        self.envelopes.append(envelope)
        return "250 OK queued"


class ImplicitTlsController(Controller):
    """The readiness probe of the controller speaks TLS as a client."""

    def _trigger_server(self):
        client = ssl.create_default_context()
        client.check_hostname, client.verify_mode = False, ssl.CERT_NONE
        with socket.create_connection(("127.0.0.1", self.port), 1.0) as plain:
            with client.wrap_socket(plain) as secured:
                secured.recv(1024)


class Server:
    """aiosmtpd on a free loopback port, for the with-block only."""

    def __init__(self, cert=None, implicit=False, hide_starttls=False):
        self.recorder, self.logins = Recorder(), []
        probe = socket.socket()
        probe.bind(("127.0.0.1", 0))
        self.port = probe.getsockname()[1]
        probe.close()

        def authenticate(server, session, envelope, mechanism, data):
            self.logins.append((mechanism, data.login, data.password, session.ssl is not None))
            ok = data.login == ACCOUNT.encode() and data.password == PASSWORD.encode()
            return AuthResult(success=ok, handled=ok)

        context = None
        if cert:
            context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
            context.load_cert_chain(*cert)
        kwargs = dict(authenticator=authenticate, auth_require_tls=not hide_starttls)
        if implicit:
            kwargs["ssl_context"] = context
        elif not hide_starttls:
            kwargs.update(tls_context=context, require_starttls=True)
        controller = ImplicitTlsController if implicit else Controller
        self.controller = controller(self.recorder, hostname="127.0.0.1", port=self.port,
                                     server_hostname="localhost", **kwargs)

    def __enter__(self):
        self.controller.start()
        return self

    def __exit__(self, *exc):
        self.controller.stop()


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def prepare_work(name):
    folder = os.path.join(WORK, name)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    files = {"bugreport.qbr": b"date/time         : 2024-03-06, 08:00:00\r\nexception class   : EEarlier\r\n",
             "app.log": bytes(range(256)) * 40 + b"\x00end",
             "app.ini": b"[Paths]\r\nProjectName=Example\r\n"}
    for file_name, data in files.items():
        with open(os.path.join(folder, file_name), "wb") as f:
            f.write(data)
    return folder, files


def run_sample(name, server, *args):
    folder, files = prepare_work(name)
    env = dict(os.environ, KELVANE_WINEPREFIX=PREFIX)
    done = subprocess.run([os.path.join(ROOT, "cmake", "wine-run.sh"), SAMPLE, "--work", windows_path(folder),
                           "--server", "localhost", "--port", str(server.port), *args], env=env,
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=180)
    text = done.stdout.decode("utf-8", "replace")
    result = [line.split()[1] for line in text.splitlines() if line.startswith("result ")]
    if "trust failed" in text:
        print("  the sample could not add the authority to the root store")
    return (result[0] if result else "none: " + text[-400:]), files, folder


def check_message(name, envelope, files, folder):
    message = email.message_from_bytes(envelope.original_content, policy=email.policy.default)
    check(message["Subject"] == "Kelvane bug report: EAccessViolation", name + ": subject")
    check(message["To"] == "Support <support@example.org>", name + ": To header (%s)" % message["To"])
    check(message["From"] == "RuvexExcept <support@example.org>", name + ": From is made from the recipient")
    check(envelope.rcpt_tos == ["support@example.org"], name + ": envelope recipient")
    body = message.get_body(("plain",)).get_content()
    check(body.startswith("please find the bug report attached"), name + ": body")
    parts = {part.get_filename(): part.get_payload(decode=True) for part in message.iter_attachments()}
    check(sorted(parts) == ["bugreport.qbr", "logs.zip", "screenshot.png"], name + ": attachments %s" % sorted(parts))
    report = parts.get("bugreport.qbr", b"")
    check(report.startswith(files["bugreport.qbr"]) and "Gr\u00fc\u00dfe".encode() in report,
          name + ": the report file copy holds the earlier report and the current one")
    if not report.startswith(files["bugreport.qbr"]):
        print("  report copy: %r" % report[:300])
    png = parts.get("screenshot.png", b"")
    check(png[:8] == b"\x89PNG\r\n\x1a\n" and png[16:24] == (40).to_bytes(4, "big") + (20).to_bytes(4, "big"),
          name + ": the screenshot is a 40 x 20 PNG")
    try:
        archive = zipfile.ZipFile(io.BytesIO(parts.get("logs.zip", b"")))
        check(archive.testzip() is None and sorted(archive.namelist()) == ["app.ini", "app.log"],
              name + ": the zip group holds both files")
        check(all(archive.read(n) == files[n] for n in ("app.log", "app.ini")),
              name + ": zipped files byte-identical")
    except zipfile.BadZipFile:
        check(False, name + ": logs.zip is a zip archive")
    with open(os.path.join(folder, "bugreport.qbr"), "rb") as f:
        check(f.read() == files["bugreport.qbr"], name + ": the bug report file itself is unchanged")
    check(os.listdir(os.path.join(folder, "send")) == [], name + ": the send's own files are gone")


def main():
    shutil.rmtree(WORK, ignore_errors=True)
    pki = os.path.join(WORK, "pki")
    os.makedirs(pki)
    authority = make_authority(pki, "Kelvane Test Authority")
    stranger = make_authority(pki, "Stranger Authority")
    good = make_server_cert(pki, "localhost", "localhost", authority)
    wrong_name = make_server_cert(pki, "other", "mail.example.org", authority)
    untrusted = make_server_cert(pki, "untrusted", "localhost", stranger)
    trust = ["--trust-ca", windows_path(os.path.join(pki, "Kelvane Test Authority.der"))]
    login = ["--account", ACCOUNT, "--password", PASSWORD]

    with Server(good) as server:
        result, files, folder = run_sample("starttls", server, "--tls", *login, *trust)
        check(result == "1", "STARTTLS required: delivered (%s)" % result)
        check(server.logins == [("LOGIN", ACCOUNT.encode(), PASSWORD.encode(), True)],
              "STARTTLS required: logged in once, over TLS")
        if len(server.recorder.envelopes) == 1:
            check_message("STARTTLS", server.recorder.envelopes[0], files, folder)
        else:
            check(False, "STARTTLS required: one message (%d)" % len(server.recorder.envelopes))

    with Server(good, implicit=True) as server:
        result, files, folder = run_sample("implicit", server, "--ssl", *trust)
        check(result == "1", "implicit TLS: delivered (%s)" % result)
        if len(server.recorder.envelopes) == 1:
            check_message("implicit TLS", server.recorder.envelopes[0], files, folder)
        else:
            check(False, "implicit TLS: one message (%d)" % len(server.recorder.envelopes))

    with Server(untrusted, implicit=True) as server:
        result, _, _ = run_sample("untrusted", server, "--ssl", *trust)
        check(result == "0" and not server.recorder.envelopes, "untrusted authority: refused (%s)" % result)
    with Server(untrusted, implicit=True) as server:
        result, _, _ = run_sample("untrusted-lax", server, "--ssl", "--no-check")
        check(result == "1", "untrusted authority without the check: reached, so the refusal is the certificate's")

    with Server(wrong_name) as server:
        result, _, _ = run_sample("wrong-name", server, "--tls", *login, *trust)
        check(result == "0" and not server.recorder.envelopes and not server.logins,
              "certificate of another name: refused, no password (%s)" % result)

    with Server(hide_starttls=True) as server:
        result, _, _ = run_sample("hidden", server, "--tls", *login, *trust)
        check(server.logins == [], "STARTTLS not offered: the password never goes out (%s)" % server.logins)
        check(result == "1" and len(server.recorder.envelopes) == 1,
              "STARTTLS not offered: the mail itself still goes (%s)" % result)

    subprocess.run(["wineserver", "-k"], env=dict(os.environ, WINEPREFIX=PREFIX), stderr=subprocess.DEVNULL)
    print("%d failure(s)" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
