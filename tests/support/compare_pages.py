#!/usr/bin/python3
"""Compares a page rendered back from what a device received with the
reference rendering of the same test page, pixel by pixel.

    compare_pages.py [--min PERCENT] REFERENCE.pnm RENDERED.pnm [LABEL]

Both are binary PGM or PPM at the same resolution. A pixel agrees when it
falls on the same side of mid-grey (128) in each channel: with two colour
pages every channel is compared (blue turned red is a disagreement); when
either page is grey, or a PPM whose three channels are equal everywhere,
both are compared as grey (luminance 0.299 R + 0.587 G + 0.114 B). Where
the sizes differ, the pixels of one page that the other lacks disagree.

Prints "LABEL: NN.NN % of pixels agree (WxH vs WxH, colour|grey)" and exits
1 when fewer than PERCENT (default 98) agree, 2 when a file is unreadable.
"""
import sys

import numpy


def read_pnm(path):
    with open(path, "rb") as source:
        data = source.read()
    fields, position = [], 0
    while len(fields) < 4:
        while data[position:position + 1].isspace():
            position += 1
        if data[position:position + 1] == b"#":
            position = data.index(b"\n", position)
            continue
        end = position
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[position:end])
        position = end
    position += 1  # the one whitespace byte before the samples
    magic, width, height, depth = fields[0], int(fields[1]), int(fields[2]), int(fields[3])
    if magic not in (b"P5", b"P6") or depth != 255:
        raise ValueError("%s: not a binary 8-bit PGM or PPM" % path)
    channels = 1 if magic == b"P5" else 3
    size = width * height * channels
    samples = numpy.frombuffer(data, numpy.uint8, size, position)
    return samples.reshape(height, width, channels)


def is_grey(page):
    return page.shape[2] == 1 or bool(
        numpy.array_equal(page[:, :, 0], page[:, :, 1]) and numpy.array_equal(page[:, :, 1], page[:, :, 2]))


def to_grey(page):
    if page.shape[2] == 1:
        return page
    weights = numpy.array([299, 587, 114], numpy.uint32)
    return ((page.astype(numpy.uint32) * weights).sum(axis=2) // 1000).astype(numpy.uint8)[:, :, None]


def agreement(reference, rendered):
    """The share of agreeing pixels (0..1) and the mode compared in."""
    mode = "colour"
    if is_grey(reference) or is_grey(rendered):
        reference, rendered, mode = to_grey(reference), to_grey(rendered), "grey"
    height = min(reference.shape[0], rendered.shape[0])
    width = min(reference.shape[1], rendered.shape[1])
    dark_a = reference[:height, :width] < 128
    dark_b = rendered[:height, :width] < 128
    agreeing = int(numpy.count_nonzero((dark_a == dark_b).all(axis=2)))
    total = max(reference.shape[0] * reference.shape[1], rendered.shape[0] * rendered.shape[1])
    return agreeing / total, mode


def main(argv):
    minimum = 98.0
    if len(argv) > 1 and argv[1] == "--min":
        minimum = float(argv[2])
        argv = argv[:1] + argv[3:]
    if len(argv) not in (3, 4):
        sys.stderr.write(__doc__)
        return 2
    label = argv[3] if len(argv) == 4 else argv[2]
    try:
        reference, rendered = read_pnm(argv[1]), read_pnm(argv[2])
    except (OSError, ValueError, IndexError) as error:
        print("%s: cannot compare: %s" % (label, error))
        return 2
    share, mode = agreement(reference, rendered)
    print("%s: %.2f %% of pixels agree (%dx%d vs %dx%d, %s)" % (
        label, share * 100, reference.shape[1], reference.shape[0], rendered.shape[1],
        rendered.shape[0], mode))
    return 0 if share * 100 >= minimum else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
