#!/usr/bin/env python3
"""The DNS codec against dnspython: our queries decoded by it, replies built
by it read as it reads them, and lookups answered by a dnspython server on
127.0.0.1."""
import socket, subprocess, sys, threading, unittest

import dns.flags, dns.message, dns.name, dns.rcode, dns.rdataclass, dns.rdatatype, dns.rrset

TOOL = sys.argv[1]
del sys.argv[1:2]
MX, NS = dns.rdatatype.MX, dns.rdatatype.NS


def tool(*args):
    r = subprocess.run([TOOL, *map(str, args)], capture_output=True, text=True, timeout=60)
    return r.stdout.split("\n")[:-1]


def reply_to(qname, qtype, qid=4660):
    query = dns.message.make_query(qname, qtype)
    query.id = qid
    return dns.message.make_response(query)


def add(section, name, rtype, *texts, ttl=300):
    section.append(dns.rrset.from_text(name, ttl, "IN", rtype, *texts))


def what_dnspython_reads(wire, qname, qtype):
    """Our view of a reply, as dnspython reads it."""
    msg = dns.message.from_wire(wire)
    if msg.flags & dns.flags.TC:
        return ["truncated"]
    if msg.rcode() == dns.rcode.NXDOMAIN:
        return ["nxdomain"]
    owners = {dns.name.from_text(qname)}
    lines = ["answer"]
    for rrset in msg.answer:
        if rrset.rdtype == dns.rdatatype.CNAME and rrset.name in owners:
            owners |= {rd.target for rd in rrset}
    for rrset in msg.answer:
        if rrset.rdtype == qtype and rrset.name in owners:
            for rd in rrset:
                if qtype == MX:
                    host = "" if rd.exchange == dns.name.root else rd.exchange.to_text(omit_final_dot=True)
                    lines.append("mx %d %s" % (rd.preference, host))
                else:
                    lines.append("ns " + rd.target.to_text(omit_final_dot=True))
    if qtype == NS:
        lines += ["ref " + rd.target.to_text(omit_final_dot=True) for rrset in msg.authority
                  if rrset.rdtype == NS for rd in rrset]
    return lines


class Codec(unittest.TestCase):
    def test_queries_decode_as_sent(self):
        for qid, name, qtype in [(1, "example.org", MX), (65535, "Mail.Sub.Example.ORG.", NS), (4660, "a-b_c.test", MX)]:
            [wire] = tool("query", qid, name, int(qtype))
            msg = dns.message.from_wire(bytes.fromhex(wire))
            self.assertEqual(msg.id, qid)
            self.assertEqual(msg.flags, dns.flags.RD)
            [question] = msg.question
            self.assertEqual(question.name, dns.name.from_text(name))
            self.assertEqual((question.rdtype, question.rdclass), (qtype, dns.rdataclass.IN))
            self.assertEqual((msg.answer, msg.authority, msg.additional), ([], [], []))
        for bad in ["a..b", "-a.test", "x" * 64 + ".test", ("a" * 60 + ".") * 5, "a b.test", ""]:
            self.assertEqual(tool("query", 1, bad, 15), ["invalid"], bad)

    def test_replies_read_as_dnspython_reads_them(self):
        cases = []
        r = reply_to("example.org", MX)
        add(r.answer, "example.org.", "MX", "20 mx2.example.org.", "10 mx1.example.org.")
        add(r.additional, "mx1.example.org.", "A", "192.0.2.1")
        cases.append(("compressed MX", r, "example.org", MX))
        r = reply_to("www.example.org", MX)
        add(r.answer, "www.example.org.", "CNAME", "host.example.net.")
        add(r.answer, "host.example.net.", "MX", "5 mail.example.net.")
        add(r.answer, "other.example.net.", "MX", "1 decoy.example.net.")
        cases.append(("CNAME before MX", r, "www.example.org", MX))
        r = reply_to("example.org", NS)
        add(r.authority, "org.", "NS", "a0.org-servers.test.", "b0.org-servers.test.")
        cases.append(("referral", r, "example.org", NS))
        r = reply_to("example.org", NS)
        add(r.answer, "example.org.", "NS", "ns1.example.org.")
        add(r.answer, "example.org.", "TXT", '"v=spf1 -all"')
        cases.append(("NS answer beside other types", r, "example.org", NS))
        r = reply_to("example.org", MX)
        add(r.answer, "example.org.", "MX", "10 mx1.example.org.")
        r.flags |= dns.flags.TC
        cases.append(("TC", r, "example.org", MX))
        r = reply_to("nowhere.example.org", MX)
        r.set_rcode(dns.rcode.NXDOMAIN)
        add(r.authority, "example.org.", "SOA", "ns1.example.org. admin.example.org. 1 2 3 4 5")
        cases.append(("RCODE 3", r, "nowhere.example.org", MX))
        r = reply_to("example.org", MX)
        add(r.answer, "example.org.", "MX", "0 .")
        cases.append(("null MX", r, "example.org", MX))
        for what, message, qname, qtype in cases:
            wire = message.to_wire()
            if what == "compressed MX":
                self.assertIn(b"\xc0\x0c", wire)
            self.assertEqual(tool("parse", 4660, qname, int(qtype), wire.hex()),
                             what_dnspython_reads(wire, qname, qtype), what)

    def test_replies_to_another_question_are_not_taken(self):
        r = reply_to("example.org", MX, qid=7)
        add(r.answer, "example.org.", "MX", "10 mx1.example.org.")
        wire = r.to_wire().hex()
        self.assertEqual(tool("parse", 8, "example.org", 15, wire), ["mismatch"])
        self.assertEqual(tool("parse", 7, "example.net", 15, wire), ["mismatch"])
        self.assertEqual(tool("parse", 7, "example.org", 2, wire), ["mismatch"])
        self.assertEqual(tool("parse", 7, "EXAMPLE.org", 15, wire), ["answer", "mx 10 mx1.example.org"])


class Server:
    """A UDP DNS server on 127.0.0.1 that answers a bounded number of
    queries: first noise (a reply with the wrong id, one from another port),
    then the real answer."""

    def __init__(self, build, queries=1):
        self.build, self.queries, self.ids = build, queries, []
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.bind(("127.0.0.1", 0))
        self.sock.settimeout(10)
        self.port = self.sock.getsockname()[1]
        self.other = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.other.bind(("127.0.0.1", 0))
        self.thread = threading.Thread(target=self.serve)

    def serve(self):
        for _ in range(self.queries):
            try:
                data, peer = self.sock.recvfrom(512)
            except OSError:
                return
            query = dns.message.from_wire(data)
            self.ids.append(query.id)
            response = self.build(query)
            good = response.to_wire()
            forged = bytearray(good)
            forged[0] ^= 0x55
            forged_mx = dns.message.from_wire(good)
            for rrset in forged_mx.answer:
                rrset.clear()
            add(forged_mx.answer, str(query.question[0].name), "MX", "0 evil.example.com.")
            self.sock.sendto(bytes(forged), peer)
            self.other.sendto(forged_mx.to_wire(), peer)
            self.sock.sendto(good, peer)

    def __enter__(self):
        self.thread.start()
        return self

    def __exit__(self, *exc):
        self.thread.join(15)
        self.sock.close()
        self.other.close()


class Lookup(unittest.TestCase):
    def lookup(self, address, build, queries=1):
        with Server(build, queries) as server:
            out = tool("lookup", address, "127.0.0.1", server.port)
        return out, server

    def test_lowest_preference_wins_and_noise_is_ignored(self):
        def build(query):
            r = dns.message.make_response(query)
            add(r.answer, "example.org.", "MX", "20 mx20.example.org.", "10 mx10.example.org.")
            return r
        out, server = self.lookup("Support <support@example.org>", build)
        self.assertEqual(out, ["host mx10.example.org"])
        out2, server2 = self.lookup("support@example.org", build)
        self.assertEqual(out2, ["host mx10.example.org"])
        self.assertNotEqual(server.ids + server2.ids, [1, 1])

    def test_no_mx_means_the_domain_and_null_mx_means_none(self):
        def empty(query):
            return dns.message.make_response(query)
        self.assertEqual(self.lookup("a@example.org", empty)[0], ["host example.org"])

        def null(query):
            r = dns.message.make_response(query)
            add(r.answer, "example.org.", "MX", "0 .")
            return r
        self.assertEqual(self.lookup("a@example.org", null)[0], ["host "])

    def test_short_domain_after_a_missing_name(self):
        def build(query):
            r = dns.message.make_response(query)
            if str(query.question[0].name) == "a.b.example.org.":
                r.set_rcode(dns.rcode.NXDOMAIN)
            else:
                add(r.answer, str(query.question[0].name), "MX", "5 mx.b.example.org.")
            return r
        out, server = self.lookup("x@a.b.example.org", build, queries=2)
        self.assertEqual(out, ["host mx.b.example.org"])


if __name__ == "__main__":
    unittest.main(verbosity=2)
