#!/usr/bin/env python3
"""A Mantis SOAP stand-in on 127.0.0.1: each request envelope is read with
xml.etree (namespaces checked), multi-reference parameters ("href") are
resolved, and the answers are SOAP envelopes as Mantis sends them.
Usage: mantis_server.py LOG MAX_REQUESTS. Prints its port, serves at most
MAX_REQUESTS requests or 30 seconds; logs issues and attachments as hex."""
import base64, http.server, socketserver, sys, time
import xml.etree.ElementTree as ET

LOG, LIMIT = sys.argv[1], int(sys.argv[2])
ACCOUNT = ("tester", "pw&<\u00e4")
SOAP = "http://schemas.xmlsoap.org/soap/envelope/"
PREFIX = "/mantis/api/soap/mantisconnect.php/"


def log(*items):
    with open(LOG, "a") as f:
        f.write(" ".join(items) + "\n")


def hexed(text):
    return (text or "").encode().hex()


def local(tag):
    return tag.rsplit("}", 1)[-1]


def objects(rows):
    return "".join("<item>%s</item>" % "".join("<%s>%s</%s>" % (k, v, k) for k, v in row) for row in rows)


PROJECTS = ('<item><id>1</id><name>Kelvane</name><subprojects><item><id>3</id><name>Reporter</name>'
            '<subprojects/></item></subprojects></item><item><id>2</id><name>Other</name><subprojects/></item>')
# The last category is written as an XML server writes "</item>R&amp;D":
# read once, it must neither end its item nor lose its own entity.
CATEGORIES = {"1": ["General", "Crash"], "2": ["Misc", "&lt;/item&gt;R&amp;amp;D"], "3": ["Sub"]}


class Fault(Exception):
    pass


def call(method, params, body):
    if method != "mc_version" and (params.get("username"), params.get("password")) != ACCOUNT:
        raise Fault("Access denied")
    if method == "mc_version":
        return "2.25.0"
    if method == "mc_projects_get_user_accessible":
        return PROJECTS
    if method == "mc_enum_access_levels":
        return objects([[("id", 10), ("name", "viewer")], [("id", 55), ("name", "developer")]])
    if method == "mc_project_get_categories":
        return "".join("<item>%s</item>" % c for c in CATEGORIES[params["project_id"]])
    if method == "mc_project_get_versions":
        return objects([[("name", "1.0")], [("name", "2.0")]]) if params["project_id"] == "1" else ""
    if method == "mc_project_get_users":
        if params.get("access") != "55":
            raise Fault("no access level")
        return objects([[("id", 5), ("name", "rita")]]) if params["project_id"] == "1" else ""
    if method == "mc_enum_priorities":
        return objects([[("id", 10), ("name", "none")], [("id", 30), ("name", "normal")]])
    if method == "mc_enum_severities":
        return objects([[("id", 50), ("name", "minor")], [("id", 70), ("name", "crash")]])
    if method == "mc_issue_add":
        refs = {e.get("id"): e for e in body.iter() if e.get("id")}
        issue = refs[params["issue.href"].lstrip("#")]
        fields = {local(c.tag): c for c in issue}

        def ref_id(name):
            if name not in fields:
                return "-"
            return refs[fields[name].get("href").lstrip("#")].find("id").text

        text = lambda name: fields[name].text if name in fields else None
        log("issue", ref_id("project"), text("version") or "-", ref_id("handler"), ref_id("priority"),
            ref_id("severity"), hexed(text("summary")), hexed(text("category")), hexed(text("os")),
            hexed(text("description")))
        return "123"
    if method == "mc_issue_attachment_add":
        log("attach", params["issue_id"], hexed(params["name"]), params["file_type"],
            base64.b64decode(params["content"]).hex())
        return "9"
    raise Fault("unknown method " + method)


def envelope(inner):
    return ('<?xml version="1.0" encoding="UTF-8"?><SOAP-ENV:Envelope xmlns:SOAP-ENV="%s" '
            'xmlns:ns1="http://futureware.biz/mantisconnect" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">'
            '<SOAP-ENV:Body>%s</SOAP-ENV:Body></SOAP-ENV:Envelope>' % (SOAP, inner))


class Handler(http.server.BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def do_POST(self):
        data = self.rfile.read(int(self.headers["Content-Length"]))
        method = self.path[len(PREFIX):]
        try:
            body = ET.fromstring(data).find("{%s}Body" % SOAP)
            element = body[0]
            if element.tag != "{ns1}" + method:
                raise Fault("method %s in a call of %s" % (element.tag, method))
            params = {}
            for child in element:
                name = local(child.tag)
                if child.get("href"):
                    params[name + ".href"] = child.get("href")
                else:
                    params[name] = child.text or ""
            answer = envelope('<ns1:%sResponse><return xsi:type="xsd:string">%s</return></ns1:%sResponse>'
                              % (method, call(method, params, body), method))
            status = 200
        except (Fault, ET.ParseError, KeyError, IndexError) as e:
            answer = envelope('<SOAP-ENV:Fault><faultcode>SOAP-ENV:Server</faultcode><faultstring>%s</faultstring>'
                              '</SOAP-ENV:Fault>' % e)
            status = 500
        out = answer.encode()
        self.send_response(status)
        self.send_header("Content-Type", "text/xml; charset=utf-8")
        self.send_header("Content-Length", str(len(out)))
        self.end_headers()
        self.wfile.write(out)


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
