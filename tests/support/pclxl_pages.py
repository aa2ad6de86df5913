#!/usr/bin/env python3
"""Walks a PCL XL (PCL 6) stream token by token and counts its pages: no
renderer for PCL XL is at hand, so what a PCL XL device receives is checked
for structure instead.

    pclxl_pages.py FILE

Accepts an optional UEL and PJL job lines in front (up to ENTER
LANGUAGE=PCLXL), the stream header ("(" or ")" then " HP-PCL XL;..." and a
line feed), then data values (scalars, arrays with their length, xy pairs,
boxes), attribute ids, embedded data with its length, and operators, until
a UEL or the end. BeginSession/EndSession and BeginPage/EndPage must nest;
every length must fit in the file. Prints "pages N" (and what was counted)
and exits 0; a broken stream is named with its offset and exits 1.
"""
import struct
import sys

UEL = b"\x1b%-12345X"
SCALARS = {0xC0: 1, 0xC1: 2, 0xC2: 4, 0xC3: 2, 0xC4: 4, 0xC5: 4}
ARRAYS = {0xC8: 1, 0xC9: 2, 0xCA: 4, 0xCB: 2, 0xCC: 4, 0xCD: 4}
PAIRS = {0xD0: 2, 0xD1: 4, 0xD2: 8, 0xD3: 4, 0xD4: 8, 0xD5: 8}
BOXES = {0xE0: 4, 0xE1: 8, 0xE2: 16, 0xE3: 8, 0xE4: 16, 0xE5: 16}
WHITESPACE = {0x00, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x20}
BEGIN_SESSION, END_SESSION, BEGIN_PAGE, END_PAGE = 0x41, 0x42, 0x43, 0x44


class Broken(Exception):
    pass


class Stream:
    def __init__(self, data, position, little_endian):
        self.data, self.position = data, position
        self.order = "<" if little_endian else ">"

    def take(self, size, what):
        if self.position + size > len(self.data):
            raise Broken("%s at offset %d runs past the end (%d bytes)" % (what, self.position, len(self.data)))
        chunk = self.data[self.position:self.position + size]
        self.position += size
        return chunk

    def number(self, tag, what):
        if tag == 0xC0:
            return self.take(1, what)[0]
        if tag == 0xC1:
            return struct.unpack(self.order + "H", self.take(2, what))[0]
        if tag == 0xC2:
            return struct.unpack(self.order + "I", self.take(4, what))[0]
        raise Broken("%s at offset %d has length type 0x%02x" % (what, self.position - 1, tag))


def skip_job_language(data):
    """The offset of the stream header, past an optional UEL and PJL lines."""
    position = 0
    if data.startswith(UEL):
        position = len(UEL)
        while data.startswith(b"@PJL", position):
            end = data.find(b"\n", position)
            if end < 0:
                raise Broken("a PJL line at offset %d never ends" % position)
            line = data[position:end].upper()
            position = end + 1
            if b"ENTER" in line and b"LANGUAGE" in line:
                if b"PCLXL" not in line:
                    raise Broken("PJL enters another language: %r" % line)
                break
    return position


def read_header(data, position):
    end = data.find(b"\n", position)
    if end < 0 or data[position:position + 1] not in (b"(", b")") or \
            not data[position + 1:end].startswith(b" HP-PCL XL;"):
        raise Broken("no PCL XL stream header at offset %d: %r" % (position, data[position:position + 24]))
    # ")" is the binding with the low byte first, "(" with the high byte first.
    return end + 1, data[position:position + 1] == b")"


def count_pages(data):
    position, little_endian = read_header(data, skip_job_language(data))
    stream = Stream(data, position, little_endian)
    counts = {"operators": 0, "embedded bytes": 0}
    sessions = pages = 0
    in_session = in_page = False
    while stream.position < len(data):
        if data.startswith(UEL, stream.position):
            break
        start = stream.position
        tag = stream.take(1, "a tag")[0]
        if tag in WHITESPACE:
            continue
        if tag in SCALARS:
            stream.take(SCALARS[tag], "a value")
        elif tag in ARRAYS:
            length = stream.number(stream.take(1, "an array length")[0], "an array length")
            stream.take(length * ARRAYS[tag], "an array of %d" % length)
        elif tag in PAIRS:
            stream.take(PAIRS[tag], "an xy pair")
        elif tag in BOXES:
            stream.take(BOXES[tag], "a box")
        elif tag == 0xF8:
            stream.take(1, "an attribute id")
        elif tag == 0xF9:
            stream.take(2, "an attribute id")
        elif tag in (0xFA, 0xFB):
            length = stream.number(0xC2 if tag == 0xFA else 0xC0, "embedded data's length")
            stream.take(length, "embedded data of %d bytes" % length)
            counts["embedded bytes"] += length
        elif 0x41 <= tag <= 0xBF:
            counts["operators"] += 1
            if tag == BEGIN_SESSION:
                if in_session:
                    raise Broken("BeginSession inside a session at offset %d" % start)
                in_session, sessions = True, sessions + 1
            elif tag == END_SESSION:
                if not in_session or in_page:
                    raise Broken("EndSession at offset %d outside a session or inside a page" % start)
                in_session = False
            elif tag == BEGIN_PAGE:
                if not in_session or in_page:
                    raise Broken("BeginPage at offset %d outside a session or inside a page" % start)
                in_page = True
            elif tag == END_PAGE:
                if not in_page:
                    raise Broken("EndPage at offset %d outside a page" % start)
                in_page, pages = False, pages + 1
            elif not in_session:
                raise Broken("operator 0x%02x at offset %d outside a session" % (tag, start))
        else:
            raise Broken("byte 0x%02x at offset %d is no PCL XL tag" % (tag, start))
    if in_page or in_session:
        raise Broken("the stream ends inside a %s" % ("page" if in_page else "session"))
    if sessions == 0:
        raise Broken("the stream holds no session")
    return pages, sessions, counts


def main(argv):
    if len(argv) != 2:
        sys.stderr.write(__doc__)
        return 2
    with open(argv[1], "rb") as source:
        data = source.read()
    try:
        pages, sessions, counts = count_pages(data)
    except Broken as error:
        print("broken PCL XL: %s" % error)
        return 1
    print("pages %d (%d session(s), %d operators, %d bytes of embedded data)" % (
        pages, sessions, counts["operators"], counts["embedded bytes"]))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
