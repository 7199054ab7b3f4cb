#!/usr/bin/env python3
"""The upload through WinHTTP under wine64, judged on the Linux side: starts
the custom-script server on 127.0.0.1, runs the 64-bit sample under wine in a
private prefix and compares what the server parsed with what was sent.

Usage: winhttp_upload_check.py SAMPLE.exe PREFIX"""
import os, subprocess, sys, tempfile, time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", "..", "..", ".."))
SAMPLE, PREFIX = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
# The servers need Debian's own Python, whose packages they import.
PYTHON = "/usr/bin/python3" if os.path.exists("/usr/bin/python3") else sys.executable
failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    if not condition:
        failures.append(what)


def all_bytes(length):
    return bytes(((i * 7 + i // 256) & 0xFF) for i in range(length))


class Server:
    """One of the test servers, bounded in requests and time by itself."""

    def __init__(self, script, *args):
        self.process = subprocess.Popen([PYTHON, script, *map(str, args)], stdout=subprocess.PIPE, text=True)
        self.port = int(self.process.stdout.readline())

    def finished(self, within):
        """True when the server ended by itself, having served all it allows."""
        try:
            self.process.wait(within)
            return True
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
            return False


def run_sample(*args):
    env = dict(os.environ, KELVANE_WINEPREFIX=PREFIX)
    done = subprocess.run([os.path.join(ROOT, "cmake", "wine-run.sh"), SAMPLE, *map(str, args)], env=env,
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=120)
    text = done.stdout.decode("utf-8", "replace").replace("\r\n", "\n")
    head, _, response = text.partition("response\n")
    values = dict(line.split(" ", 1) for line in head.splitlines() if " " in line)
    return values, response.splitlines()


def h(data):
    return (data if isinstance(data, bytes) else data.encode("utf-8")).hex()


def curl_parsed(expected):
    """What the server parses when curl posts the fields and files of the expected lines."""
    server = Server(os.path.join(HERE, "upload_server.py"), 1)
    with tempfile.TemporaryDirectory() as folder:
        command = ["curl", "-s", "--max-time", "20", "http://127.0.0.1:%d/upload/" % server.port]
        for line in expected:
            kind, name, *rest = line.split(" ")
            name = bytes.fromhex(name)
            if kind == "field":
                command += [b"--form-string", name + b"=" + bytes.fromhex(rest[0])]
            else:
                file_name, content = bytes.fromhex(rest[0]), bytes.fromhex(rest[1])
                path = os.path.join(folder, "%d" % len(command))
                with open(path, "wb") as f:
                    f.write(content)
                command += [b"-F", name + b"=@" + path.encode() + b";filename=" + file_name]
        answer = subprocess.run(command, stdout=subprocess.PIPE, timeout=30).stdout.decode().splitlines()
    server.finished(5)
    return answer[3:]


def check_custom_script():
    server = Server(os.path.join(HERE, "upload_server.py"), 1)
    values, lines = run_sample("custom", server.port)
    check(values.get("ok") == "1" and values.get("exchanges") == "1", "custom script: one exchange, success")
    check(len(lines) >= 3, "custom script: the server answered with its report")
    if len(lines) < 3:
        return
    declared, received = lines[0].split(" ")[1], lines[1].split(" ")[1]
    check(declared == received == values.get("planned"),
          "declared %s, received %s, planned %s bytes" % (declared, received, values.get("planned")))
    check(lines[2] == "from " + h("<rita@example.org>"), "From header")
    expected = [
        "field %s %s" % (h("Subject"), h("Crash in Gr\u00fcn & <more> ]]>".encode("latin-1"))),
        "field %s %s" % (h("Body"), h("line 1\r\nline 2 \u20ac \u4e2d & < ]]>")),
        "field %s %s" % (h("MailFrom"), h("rita@example.org")),
        "file %s %s %s" % (h("File1"), h("bugreport.bin"), h(all_bytes(70000))),
        "file %s %s %s" % (h("File2"), h("r\u00e9sum\u00e9 \u4e2d.txt"), h("short & <text> ]]>")),
        "file %s %s " % (h("File3"), h("empty.txt")),
    ]
    got = lines[3:]
    check(curl_parsed(expected) == expected, "curl -F posting the same form is parsed the same")
    check(got == expected, "fields equal and files byte-identical, non-ASCII names included")
    if got != expected:
        for g, e in zip(got, expected):
            if g != e:
                print("  got      %s\n  expected %s" % (g[:160], e[:160]))
    check(server.finished(5), "custom script: the server saw exactly its one request")


def check_wrong_password():
    server = Server(os.path.join(HERE, "upload_server.py"), 2)
    values, _ = run_sample("auth", server.port)
    check(values.get("ok") == "0", "wrong password: the upload fails")
    check(values.get("exchanges") == "2", "wrong password: one retry with the account, then stop (%s exchanges)"
          % values.get("exchanges"))
    check(values.get("error", "").startswith("401 "), "wrong password: the last error is the 401")
    error = bytes.fromhex(values.get("error", "0 ").split(" ")[1])
    check(b"not the secret" not in error, "wrong password: the error text holds no secret")
    check(server.finished(5), "wrong password: the server saw both requests")


def check_success_without_content():
    server = Server(os.path.join(HERE, "upload_server.py"), 1)
    values, _ = run_sample("status", server.port)
    check(values.get("ok") == "1", "204 No Content counts as success")
    server.finished(5)


def check_untrusted_authority():
    with tempfile.TemporaryDirectory() as folder:
        ca, key, cert = (os.path.join(folder, n) for n in ("ca.pem", "key.pem", "cert.pem"))
        quiet = dict(stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                        "/CN=Test Authority", "-keyout", os.path.join(folder, "ca-key.pem"), "-out", ca], **quiet)
        subprocess.run(["openssl", "req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=127.0.0.1",
                        "-keyout", key, "-out", os.path.join(folder, "req.pem")], **quiet)
        with open(os.path.join(folder, "ext"), "w") as f:
            f.write("subjectAltName=IP:127.0.0.1\n")
        subprocess.run(["openssl", "x509", "-req", "-in", os.path.join(folder, "req.pem"), "-CA", ca, "-CAkey",
                        os.path.join(folder, "ca-key.pem"), "-CAcreateserial", "-days", "2", "-extfile",
                        os.path.join(folder, "ext"), "-out", cert], **quiet)
        server = Server(os.path.join(HERE, "upload_server.py"), 1, cert, key)
        values, _ = run_sample("tls", server.port)
        server.finished(1)
        server = Server(os.path.join(HERE, "upload_server.py"), 1, cert, key)
        lax, lines = run_sample("tls-lax", server.port)
        server.finished(5)
    # Without the checks the same server is reached: the refusal is the certificate's.
    check(lax.get("ok") == "1" and len(lines) > 3, "untrusted authority: reached with the checks off (%s)"
          % lax.get("error", "").split(" ")[0])
    check(values.get("ok") == "0", "untrusted authority: strict certificates refuse the server")
    # Windows names the refusal 12175 (secure failure); wine's library 12157 (secure channel error).
    check(values.get("error", "").split(" ")[0] in ("12175", "12157"), "untrusted authority: a secure failure (%s)"
          % values.get("error", "").split(" ")[0])


def main():
    try:
        check_custom_script()
        check_wrong_password()
        check_untrusted_authority()
        check_success_without_content()
    finally:
        subprocess.run(["wineserver", "-k"], env=dict(os.environ, WINEPREFIX=PREFIX),
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    print("%d passed, %d failed" % (0 if failures else 1, 1 if failures else 0))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
