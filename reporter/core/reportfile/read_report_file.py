"""Reads a bug report file independently of the reporter's own code.

Checks that it is UTF-8 without a byte-order mark, that it is a sequence of
reports each followed by a blank line, and that every header aligns its
": " separators in one column. Prints one line per report: its checksum line
value and its count (1 when missing).
"""
import re
import sys

data = open(sys.argv[1], "rb").read()
if data.startswith(b"\xef\xbb\xbf"):
    sys.exit("byte-order mark")
text = data.decode("utf-8")  # strict: invalid UTF-8 raises
if not text.endswith("\r\n\r\n"):
    sys.exit("no blank line after the last report")
starts = [m.start(1) for m in re.finditer(r"(?:^|\r\n\r\n)(date/time +: )", text)]
if not starts or starts[0] != 0:
    sys.exit("the file does not start with a report")
for begin, end in zip(starts, starts[1:] + [len(text)]):
    header = text[begin:end].split("\r\n\r\n")[0].split("\r\n")
    columns = {line.index(" : ") for line in header}
    if len(columns) != 1:
        sys.exit("separators in columns %s" % sorted(columns))
    fields = dict((line[: line.index(" : ")].rstrip(), line[line.index(" : ") + 3 :]) for line in header)
    print(fields.get("callstack crc", "-"), fields.get("count", "1"))
