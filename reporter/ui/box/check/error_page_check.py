"""The web error page read back by Python's own HTML parser: the report in
the text area and the title come back exactly, and no script element exists."""
import html
import html.parser
import subprocess
import sys

REPORT = "head\r\n</textarea><script>alert(1)</script>\r\n&amp; \"q\" \u00e9\u20ac"


class Reader(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.stack, self.texts, self.tags = [], {}, []

    def handle_starttag(self, tag, attrs):
        self.stack.append(tag)
        self.tags.append(tag)

    def handle_endtag(self, tag):
        if self.stack and self.stack[-1] == tag:
            self.stack.pop()

    def handle_data(self, data):
        if self.stack:
            self.texts[self.stack[-1]] = self.texts.get(self.stack[-1], "") + data


page = subprocess.run([sys.argv[1]], check=True, capture_output=True).stdout.decode("utf-8")
reader = Reader()
reader.feed(page)
reader.close()
failures = []
if "script" in reader.tags:
    failures.append("a script element was parsed")
if reader.tags.count("textarea") != 1:
    failures.append("text areas: %d" % reader.tags.count("textarea"))
# The text area starts with the line break that follows its opening tag.
area = reader.texts.get("textarea", "")
if area != "\r\n" + REPORT and area != REPORT:
    failures.append("report came back as %r" % area)
start = page.index('">\r\n', page.index("<textarea")) + 4
if html.unescape(page[start:page.index("</textarea>")]) != REPORT:
    failures.append("html.unescape of the text area differs")
if reader.texts.get("title") != 'Kelvane & "friends"':
    failures.append("title %r" % reader.texts.get("title"))
print("\n".join(failures) or "page round-trips")
print("%d passed, %d failed" % (4 - len(failures), len(failures)))
sys.exit(1 if failures else 0)
