#!/usr/bin/env python3
"""A FogBugz stand-in on 127.0.0.1: its XML command interface for the calls
the reporter makes, python-multipart reading the new case's form.
Usage: fogbugz_server.py LOG MAX_REQUESTS MINVERSION. Prints its port, serves
at most MAX_REQUESTS requests or 30 seconds; logs commands and form parts."""
import http.server, io, socketserver, sys, time, urllib.parse

import multipart

LOG, LIMIT, MINVERSION = sys.argv[1], int(sys.argv[2]), sys.argv[3]
ACCOUNT = ("tester@example.org", "p\u00e4ss w&rd")
TOKEN = "tok123"


def log(*items):
    with open(LOG, "a") as f:
        f.write(" ".join(items) + "\n")


def items(outer, inner, rows):
    body = "".join("<%s>%s</%s>" % (inner, "".join("<%s><![CDATA[%s]]></%s>" % (k, v, k) for k, v in row), inner)
                   for row in rows)
    return "<%s>%s</%s>" % (outer, body, outer)


def command(cmd, q):
    if cmd == "logon":
        if (q.get("email"), q.get("password")) != ACCOUNT:
            return '<error code="1">Incorrect password or username</error>'
        return "<token><![CDATA[%s]]></token>" % TOKEN
    if q.get("token") != TOKEN:
        return '<error code="3">Not logged on</error>'
    if cmd == "listProjects":
        return items("projects", "project", [[("sProject", "Kelvane")], [("sProject", "Other")]])
    if cmd == "listAreas":
        return items("areas", "area", [[("sArea", "Launcher"), ("sProject", "Kelvane")],
                                       [("sArea", "not spam"), ("sProject", "Kelvane")],
                                       [("sArea", "Misc"), ("sProject", "Other")]])
    if cmd == "listCategories":
        return items("categories", "category", [[("sCategory", "Bug")], [("sCategory", "Feature")]])
    if cmd == "listPriorities":
        return items("priorities", "priority", [[("sPriority", "Must Fix")]])
    if cmd == "listPeople":
        return items("people", "person", [[("sFullName", "Rita Weber")], [("sFullName", "Ole Sand")]])
    if cmd == "logoff":
        return ""
    return '<error code="0">unknown command</error>'


class Handler(http.server.BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def answer(self, text):
        data = ('<?xml version="1.0" encoding="UTF-8"?><response>%s</response>' % text).encode()
        self.send_response(200)
        self.send_header("Content-Type", "text/xml; charset=utf-8")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        if url.path == "/fb/api.xml":
            self.answer("<version>8.8.53</version><minversion>%s</minversion><url>api.asp?</url>" % MINVERSION)
            return
        q = {k: v[0] for k, v in urllib.parse.parse_qs(url.query, keep_blank_values=True).items()}
        log("get", q.get("cmd", ""))
        self.answer(command(q.get("cmd"), q) if url.path == "/fb/api.asp" else "<error>no such path</error>")

    def do_POST(self):
        body = self.rfile.read(int(self.headers["Content-Length"]))
        if self.headers.get("Content-Type", "").startswith("application/x-www-form-urlencoded"):
            url = urllib.parse.urlsplit(self.path)
            q = {k: v[0] for k, v in urllib.parse.parse_qs(body.decode(), keep_blank_values=True).items()}
            log("form", q.get("cmd", ""), "with-query" if url.query else "")
            self.answer(command(q.get("cmd"), q) if url.path == "/fb/api.asp" else "<error>no such path</error>")
            return
        log("post", self.headers["Content-Length"], str(len(body)))

        def on_field(field):
            log("field", field.field_name.decode(), (field.value or b"").hex())

        def on_file(f):
            f.file_object.seek(0)
            log("file", f.field_name.decode(), f.file_name.hex(), f.file_object.read().hex())

        multipart.parse_form({"Content-Type": self.headers["Content-Type"], "Content-Length": str(len(body))},
                             io.BytesIO(body), on_field, on_file)
        self.answer('<case ixBug="17" operations="edit"></case>')


class Server(socketserver.TCPServer):
    allow_reuse_address = True
    handled = 0

    def process_request(self, request, client_address):
        self.handled += 1
        super().process_request(request, client_address)


def main():
    with Server(("127.0.0.1", 0), Handler) as server:
        server.timeout = 1
        print(server.server_address[1], flush=True)
        deadline = time.monotonic() + 30
        while server.handled < LIMIT and time.monotonic() < deadline:
            server.handle_request()


if __name__ == "__main__":
    main()
