#!/usr/bin/env python3
"""Python's XML-RPC server on 127.0.0.1 acting as Bugzilla for the calls the
reporter makes. Usage: bugzilla_server.py LOG MAX_REQUESTS. Prints its port,
serves at most MAX_REQUESTS requests or 30 seconds, and writes each bug and
attachment it receives to LOG, one line each, texts as hex."""
import sys, time
from xmlrpc.server import SimpleXMLRPCRequestHandler, SimpleXMLRPCServer
from xmlrpc.client import Fault

LOG, LIMIT = sys.argv[1], int(sys.argv[2])
ACCOUNT = ("tester@example.org", "pw \u00e4&<")
PRODUCTS = {
    1: {"id": 1, "name": "Kelvane", "components": [{"name": "Launcher"}, {"name": "Reporter"}],
        "versions": [{"name": "1.0"}, {"name": "2.0"}]},
    2: {"id": 2, "name": "Other", "components": [{"name": "General"}], "versions": [{"name": "unspecified"}]},
}


def log(*items):
    with open(LOG, "a") as f:
        f.write(" ".join(items) + "\n")


def hexed(text):
    return (text if isinstance(text, bytes) else str(text).encode()).hex()


def logged_on(params):
    if (params.get("Bugzilla_login"), params.get("Bugzilla_password")) != ACCOUNT:
        raise Fault(300, "The username or password you entered is not valid.")


def version(params={}):
    if "Bugzilla_login" in params:
        logged_on(params)
    return {"version": "5.0.6"}


def enterable(params={}):
    return {"ids": [1, 2]}


def product_get(params):
    return {"products": [PRODUCTS[i] for i in params["ids"]]}


def fields(params={}):
    def values(*names):
        return [{"name": n, "sort_key": 0} for n in names]
    return {"fields": [
        {"name": "priority", "values": values("P1", "P2", "P3")},
        {"name": "bug_severity", "values": values("critical", "normal")},
        {"name": "op_sys", "values": values("Linux", "other")},
        {"name": "rep_platform", "values": values("PC", "Macintosh")},
    ]}


def create(params):
    logged_on(params)
    keys = [k for k in params if not k.startswith("Bugzilla_")]
    log("create", hexed(",".join(keys)), *(hexed(params[k]) for k in keys))
    return {"id": 42}


def add_attachment(params):
    logged_on(params)
    log("attach", hexed(",".join(params.get("exclude_fields", []))), str(params["ids"]), hexed(params["file_name"]),
        hexed(params["summary"]), params["content_type"], params["data"].data.hex())
    return {"ids": [7]}


class Handler(SimpleXMLRPCRequestHandler):
    rpc_paths = ("/bugs/xmlrpc.cgi",)

    def log_message(self, *args):
        pass


class Server(SimpleXMLRPCServer):
    handled = 0

    def process_request(self, request, client_address):
        self.handled += 1
        super().process_request(request, client_address)


def main():
    with Server(("127.0.0.1", 0), requestHandler=Handler, logRequests=False) as server:
        for name, f in [("Bugzilla.version", version), ("Product.get_enterable_products", enterable),
                        ("Product.get", product_get), ("Bug.fields", fields), ("Bug.create", create),
                        ("Bug.add_attachment", add_attachment)]:
            server.register_function(f, name)
        server.timeout = 1
        print(server.server_address[1], flush=True)
        deadline = time.monotonic() + 30
        while server.handled < LIMIT and time.monotonic() < deadline:
            server.handle_request()


if __name__ == "__main__":
    main()
