#!/usr/bin/env python3
"""A custom upload script on 127.0.0.1 for the tests: python-multipart reads
each POST and the answer lists what it found, as hex, one item a line.

Usage: upload_server.py MAX_REQUESTS [CERT KEY]. With a certificate it
speaks TLS. Prints the port, then serves at most
MAX_REQUESTS requests or for 30 seconds, whichever ends first.
Paths: /redirect answers 302; /auth wants Basic user:secret; /status/N
answers N; anything else answers 200 with the parsed form."""
import base64, http.server, io, socketserver, ssl, sys, time

import multipart


def report(handler, body):
    lines = ["declared %s" % handler.headers.get("Content-Length"), "received %d" % len(body),
             "from %s" % handler.headers.get("From", "").encode().hex()]

    def on_field(field):
        lines.append("field %s %s" % (field.field_name.hex(), (field.value or b"").hex()))

    def on_file(f):
        f.file_object.seek(0)
        lines.append("file %s %s %s" % (f.field_name.hex(), f.file_name.hex(), f.file_object.read().hex()))

    headers = {"Content-Type": handler.headers["Content-Type"], "Content-Length": str(len(body))}
    multipart.parse_form(headers, io.BytesIO(body), on_field, on_file,
                         config={"MAX_MEMORY_FILE_SIZE": 64 * 1024 * 1024})
    return "\n".join(lines) + "\n"


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def answer(self, status, text, extra=()):
        data = text.encode()
        self.send_response(status)
        for name, value in extra:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(data)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(data)

    def do_GET(self):
        self.answer(200, "got " + self.path)

    def do_POST(self):
        body = self.rfile.read(int(self.headers.get("Content-Length", "0")))
        if self.path.startswith("/status/"):
            self.answer(int(self.path[8:]), "status")
        elif self.path.startswith("/redirect"):
            self.answer(302, "moved", [("Location", "http://127.0.0.1/thanks?id=7")])
        elif self.path.startswith("/auth") and self.headers.get("Authorization") != \
                "Basic " + base64.b64encode(b"user:secret").decode():
            self.answer(401, "who", [("WWW-Authenticate", 'Basic realm="bugs"')])
        else:
            self.answer(200, report(self, body))


class Server(socketserver.TCPServer):
    allow_reuse_address = True
    handled = 0

    def process_request(self, request, client_address):
        self.handled += 1
        super().process_request(request, client_address)


def main():
    limit = int(sys.argv[1])
    with Server(("127.0.0.1", 0), Handler) as server:
        server.timeout = 1
        if len(sys.argv) > 3:
            context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            context.load_cert_chain(sys.argv[2], sys.argv[3])
            server.socket = context.wrap_socket(server.socket, server_side=True)
        print(server.server_address[1], flush=True)
        deadline = time.monotonic() + 30
        while server.handled < limit and time.monotonic() < deadline:
            server.handle_request()


if __name__ == "__main__":
    main()
