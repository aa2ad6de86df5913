#!/usr/bin/env python3
"""Raster documents for the printer application's raster tests, and what
its devices captured, taken apart.

  raster_capture.py split CAPTURE       writes CAPTURE.header (the commands)
                                        and CAPTURE.doc (the document), and
                                        prints the document's kind
  raster_capture.py pages FILE          one line a page of a PWG raster
                                        file: size, depth, colour space and
                                        a digest of its pixels
  raster_capture.py urf IN.pwg OUT.urf   the pages of an 8-bit grey or
                                        24-bit sRGB PWG raster file as
                                        Apple raster (URF)
  raster_capture.py set FILE FIELD=N..  sets page 1's PWG header fields
                                        (width, height, bytes_per_line)

The PWG decoder is written here apart from libcups's, so that what the
application re-encoded is read by other code than the one that wrote it.
"""
import hashlib
import struct
import sys

# Where each document kind starts; the commands before it are text lines.
MAGICS = [(b"RaS2", "pwg"), (b"UNIRAST\0", "urf"), (b"%!PS", "postscript"),
          (b"%PDF-", "pdf"), (b") HP-PCL XL", "pclxl"), (b"\x1b%-12345X", "pjl"),
          (b"\x1bE", "pcl")]

# Offsets of cups_page_header2_t fields in a PWG page header (big-endian).
FIELDS = {"resolution_x": 276, "resolution_y": 280, "width": 372, "height": 376,
          "bits_per_color": 384, "bits_per_pixel": 388, "bytes_per_line": 392,
          "color_order": 396, "color_space": 400, "total_page_count": 452}
PWG_HEADER = 1796
# Colour spaces whose zero is ink: a cleared line end is 0x00, else 0xff.
INK_SPACES = {3, 6}  # black, CMYK


def split(path):
    data = open(path, "rb").read()
    found = [(data.find(magic), kind) for magic, kind in MAGICS if data.find(magic) >= 0]
    if not found:
        print("none")
        return
    start, kind = min(found)
    open(path + ".header", "wb").write(data[:start])
    open(path + ".doc", "wb").write(data[start:])
    print(kind)


def pwg_field(header, name):
    return struct.unpack_from(">I", header, FIELDS[name])[0]


def decode_lines(data, at, height, line_bytes, unit, fill):
    """The page's lines from PWG's compressed form; stops short when the data
    ends (a truncated page gives fewer lines)."""
    lines = []
    while len(lines) < height and at < len(data):
        repeat = data[at] + 1
        at += 1
        line = bytearray()
        while len(line) < line_bytes:
            if at >= len(data):
                return lines, at
            count = data[at]
            at += 1
            if count == 128:
                line += bytes([fill]) * (line_bytes - len(line))
            elif count < 128:
                line += data[at:at + unit] * (count + 1)
                at += unit
            else:
                n = (257 - count) * unit
                line += data[at:at + n]
                at += n
        lines.extend([bytes(line[:line_bytes])] * repeat)
    return lines[:height], at


def pages_pwg(data):
    at = 4
    page = 0
    while at + PWG_HEADER <= len(data):
        header = data[at:at + PWG_HEADER]
        at += PWG_HEADER
        page += 1
        width, height = pwg_field(header, "width"), pwg_field(header, "height")
        bpp, bpl = pwg_field(header, "bits_per_pixel"), pwg_field(header, "bytes_per_line")
        space = pwg_field(header, "color_space")
        lines, at = decode_lines(data, at, height, bpl, max(bpp // 8, 1),
                                 0 if space in INK_SPACES else 0xFF)
        digest = hashlib.sha256(b"".join(lines)).hexdigest()[:16]
        print("page %d: %dx%d %d-bit space %d dpi %dx%d lines %d pixels %s" % (
            page, width, height, bpp, space, pwg_field(header, "resolution_x"),
            pwg_field(header, "resolution_y"), len(lines), digest))


# URF's colour space codes, by PWG colour space.
URF_SPACES = {18: 0, 19: 1}


def encode_line(line, unit):
    """One line in the run-length form PWG and URF share: literal runs of
    up to 128 pixels (a single pixel as a run of one)."""
    out = bytearray([0])  # the line once
    pixels = len(line) // unit
    at = 0
    while at < pixels:
        n = min(128, pixels - at)
        out.append(0 if n == 1 else 257 - n)
        out += line[at * unit:(at + n) * unit]
        at += n
    return bytes(out)


def to_urf(source, target):
    data = open(source, "rb").read()
    at = 4
    pages = []
    while at + PWG_HEADER <= len(data):
        header = data[at:at + PWG_HEADER]
        at += PWG_HEADER
        width, height = pwg_field(header, "width"), pwg_field(header, "height")
        bpp, bpl = pwg_field(header, "bits_per_pixel"), pwg_field(header, "bytes_per_line")
        space = pwg_field(header, "color_space")
        if space not in URF_SPACES or bpp not in (8, 24):
            sys.exit("%s: only 8-bit grey and 24-bit sRGB become URF" % source)
        lines, at = decode_lines(data, at, height, bpl, bpp // 8, 0xFF)
        page = struct.pack(">BBBBBBBBIIII8x", bpp, URF_SPACES[space], 1, 4, 0, 0, 0, 1, 0,
                           width, height, pwg_field(header, "resolution_x"))
        pages.append(page + b"".join(encode_line(line, bpp // 8) for line in lines))
    with open(target, "wb") as out:
        out.write(b"UNIRAST\0" + struct.pack(">I", len(pages)))
        for page in pages:
            out.write(page)


def set_fields(path, assignments):
    data = bytearray(open(path, "rb").read())
    for assignment in assignments:
        name, value = assignment.split("=")
        struct.pack_into(">I", data, 4 + FIELDS[name], int(value))
    open(path, "wb").write(data)


def main():
    command, path = sys.argv[1], sys.argv[2]
    if command == "split":
        split(path)
    elif command == "pages":
        data = open(path, "rb").read()
        if data.startswith(b"RaS2"):
            pages_pwg(data)
        else:
            sys.exit("%s: not PWG raster" % path)
    elif command == "urf":
        to_urf(path, sys.argv[3])
    elif command == "set":
        set_fields(path, sys.argv[3:])
    else:
        sys.exit("unknown command " + command)


if __name__ == "__main__":
    main()
