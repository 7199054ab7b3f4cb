#!/usr/bin/env python3
"""Runs mantis_soap.php under PHP's built-in web server on a free loopback
port and prints the port. Usage: php_soap_host.py LOG MAX_REQUESTS. The PHP
server answers 503 after MAX_REQUESTS requests and is stopped after 30
seconds at the latest."""
import os, signal, socket, subprocess, sys, time

# Stopped by the test: PHP goes too.
signal.signal(signal.SIGTERM, lambda *args: sys.exit(0))

log, limit = sys.argv[1], sys.argv[2]
probe = socket.socket()
probe.bind(("127.0.0.1", 0))
port = probe.getsockname()[1]
probe.close()
env = dict(os.environ, MANTIS_LOG=log, MANTIS_LIMIT=limit)
for stale in (log, log + ".count"):
    if os.path.exists(stale):
        os.remove(stale)
here = os.path.dirname(os.path.abspath(__file__))
server = subprocess.Popen(["php", "-S", "127.0.0.1:%d" % port, os.path.join(here, "mantis_soap.php")],
                          env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
# Ready once the port takes connections.
for _ in range(100):
    try:
        socket.create_connection(("127.0.0.1", port), timeout=0.1).close()
        break
    except OSError:
        if server.poll() is not None:
            break
        time.sleep(0.05)
print(port, flush=True)
try:
    server.wait(timeout=30)
except subprocess.TimeoutExpired:
    pass
finally:
    server.terminate()
    server.wait()
