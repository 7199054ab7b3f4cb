#!/usr/bin/env python3
"""Bug reports sent by the 64-bit sample under wine64 to exim4, started here on a free
loopback port with a minimal configuration of its own (no system service):
every message is accepted and delivered into a file, then read back by
Python's email package. One report has lines far over 998 octets.

Usage: exim_check.py SAMPLE WORK"""
import email, email.policy, glob, os, shutil, socket, subprocess, sys, time

SAMPLE, WORK = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", ".."))
PREFIX = os.path.join(WORK + "-wineprefix")
EXIM = shutil.which("exim4") or shutil.which("exim") or "/usr/sbin/exim4"
failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    if not condition:
        failures.append(what)


def free_port():
    probe = socket.socket()
    probe.bind(("127.0.0.1", 0))
    port = probe.getsockname()[1]
    probe.close()
    return port


CONFIG = """
primary_hostname = kelvane.test
spool_directory = {work}/spool
log_file_path = {work}/log/%slog
pid_file_path = {work}/exim.pid
local_interfaces = 127.0.0.1
daemon_smtp_ports = {port}
never_users =
exim_user = {user}
exim_group = {group}
host_lookup =
rfc1413_hosts =
qualify_domain = example.org
acl_smtp_rcpt = accept_all
acl_smtp_data = accept_all
message_size_limit = 50M
smtp_accept_max = 8
begin acl
accept_all:
  accept
begin routers
into_file:
  driver = accept
  transport = mailbox
begin transports
mailbox:
  driver = appendfile
  file = {work}/mail/inbox
  user = {mailbox_user}
  group = {mailbox_group}
  mode = 0600
"""


def wait_for_port(port, within):
    end = time.time() + within
    while time.time() < end:
        try:
            socket.create_connection(("127.0.0.1", port), 0.5).close()
            return True
        except OSError:
            time.sleep(0.2)
    return False


def prepare(name):
    folder = os.path.join(WORK, name)
    os.makedirs(folder)
    files = {"bugreport.qbr": b"date/time         : 2024-03-06, 08:00:00\r\n" + b"z" * 2000 + b"\r\n",
             "app.log": b"log\r\n" * 10, "app.ini": b"[Paths]\r\n"}
    for file_name, data in files.items():
        with open(os.path.join(folder, file_name), "wb") as f:
            f.write(data)
    return folder


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def main():
    shutil.rmtree(WORK, ignore_errors=True)
    for sub in ("spool", "log", "mail"):
        os.makedirs(os.path.join(WORK, sub))
    port = free_port()
    import grp, pwd
    # Exim never delivers as root: then the mailbox belongs to nobody.
    user, group = pwd.getpwuid(os.getuid()).pw_name, grp.getgrgid(os.getgid()).gr_name
    mailbox_user, mailbox_group = user, group
    if os.getuid() == 0:
        mailbox_user, mailbox_group = "nobody", grp.getgrgid(pwd.getpwnam("nobody").pw_gid).gr_name
        os.chmod(os.path.join(WORK, "mail"), 0o777)
    config = os.path.join(WORK, "exim.conf")
    with open(config, "w") as f:
        f.write(CONFIG.format(work=WORK, port=port, user=user, group=group, mailbox_user=mailbox_user,
                              mailbox_group=mailbox_group))
    daemon = subprocess.Popen([EXIM, "-C", config, "-bdf", "-odi", "-q30m"], stdout=subprocess.DEVNULL,
                              stderr=subprocess.PIPE)
    try:
        if not wait_for_port(port, 15):
            check(False, "exim listens on 127.0.0.1:%d (%s)" % (port, daemon.stderr.read1(2000) if daemon.poll() is not None else "running"))
            return 1
        results = []
        for name, extra in (("plain", []), ("long-lines", ["--long-lines"])):
            folder = prepare(name)
            done = subprocess.run([os.path.join(ROOT, "cmake", "wine-run.sh"), SAMPLE, "--work", windows_path(folder),
                                   "--server", "127.0.0.1", "--port", str(port), *extra],
                                  env=dict(os.environ, KELVANE_WINEPREFIX=PREFIX),
                                  stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=180)
            results.append(done.stdout.decode("utf-8", "replace").strip())
        check(results == ["result 1", "result 1"], "exim accepted both reports (%s)" % results)
        mailbox = os.path.join(WORK, "mail", "inbox")
        deadline = time.time() + 15
        messages = []
        while time.time() < deadline:
            if os.path.exists(mailbox):
                with open(mailbox, "rb") as f:
                    messages = [m for m in f.read().split(b"\nFrom ") if m.strip()]
                if len(messages) >= 2:
                    break
            time.sleep(0.3)
        check(len(messages) == 2, "both messages delivered into the mailbox (%d)" % len(messages))
        for raw in messages:
            message = email.message_from_bytes(raw.split(b"\n", 1)[1], policy=email.policy.default)
            names = sorted(p.get_filename() for p in message.iter_attachments())
            check(message["Subject"] == "Kelvane bug report: EAccessViolation" and
                  names == ["bugreport.qbr", "logs.zip", "screenshot.png"],
                  "delivered message: subject and attachments %s" % names)
            check(all(len(line) <= 998 for line in raw.split(b"\n")), "no line over 998 octets on the wire")
        long_report = [p.get_payload(decode=True) for m in messages[1:2]
                       for p in email.message_from_bytes(m.split(b"\n", 1)[1], policy=email.policy.default).iter_attachments()
                       if p.get_filename() == "bugreport.qbr"]
        check(bool(long_report) and b"x" * 1500 in long_report[0] and b"y" * 3000 in long_report[0],
              "the report's long lines arrive whole in the attachment")
    finally:
        subprocess.run(["wineserver", "-k"], env=dict(os.environ, WINEPREFIX=PREFIX), stderr=subprocess.DEVNULL)
        daemon.terminate()
        try:
            daemon.wait(5)
        except subprocess.TimeoutExpired:
            daemon.kill()
            daemon.wait()
    print("%d failure(s)" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
