#!/usr/bin/env bash
# The tools the format tests judge with must catch the faults the test page
# is drawn against. From the test page rendered at 300 dpi this makes pages
# with one fault each (mirrored, a line lost, a line one pixel too long,
# red and blue swapped, colour lost, the bottom cut off) and expects
# compare_pages.py to refuse each, and to accept the page itself after the
# round trips a client's raster page takes (PWG and Apple raster through
# libcups). pclxl_pages.py must count the pages of Ghostscript's PCL XL and of a
# hand-made stream in the other byte order, and refuse a stream cut short
# or with a page left open.
#
# Usage: page_tools_test.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
python=/usr/bin/python3  # Debian's python3-numpy is the system Python's
command -v gs > /dev/null || { echo "SKIP: no Ghostscript (scripts/install-deps.sh installs it)"; exit 77; }
"$python" -c "import numpy" 2> /dev/null ||
  { echo "SKIP: no python3-numpy (scripts/install-deps.sh installs it)"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
gs_page() {  # DEVICE OUTPUT [OPTION...]
  local device=$1 output=$2
  shift 2
  gs -q -dSAFER -dBATCH -dNOPAUSE -sPAPERSIZE=a4 -r300 -sDEVICE="$device" -sOutputFile="$output" \
    "$@" "$here/test_page.ps"
}
gs_page ppmraw "$work/ref.ppm"
gs_page pgmraw "$work/ref.pgm"

# ---- Faults the comparison must see ---------------------------------------
"$python" - "$work" "$here" << 'EOF'
import sys
sys.path.insert(0, sys.argv[2])
from compare_pages import read_pnm as read
import numpy
folder = sys.argv[1]

def write(path, page):
    with open(path, "wb") as f:
        f.write(b"P%d\n%d %d\n255\n" % (5 if page.shape[2] == 1 else 6, page.shape[1], page.shape[0]))
        f.write(page.tobytes())

page = read(folder + "/ref.ppm")
height, width, _ = page.shape
white_row = numpy.full((1, width, 3), 255, numpy.uint8)
write(folder + "/mirrored-left-right.ppm", page[:, ::-1])
write(folder + "/mirrored-top-bottom.ppm", page[::-1])
# One line lost a third of the way down: what follows moves up a pixel.
write(folder + "/line-lost.ppm", numpy.concatenate([page[:1000], page[1001:], white_row]))
write(folder + "/line-doubled.ppm", numpy.concatenate([page[:1000], page[999:-1]]))
# A writer that steps one pixel too far per line: read back at the right
# width, each row starts one pixel later than the last.
flat = page.reshape(-1)
sheared = numpy.full(page.shape, 255, numpy.uint8).reshape(-1)
line = width * 3
for y in range(height):
    row = flat[y * (line + 3):y * (line + 3) + line]
    sheared[y * line:y * line + len(row)] = row
write(folder + "/stride.ppm", sheared.reshape(page.shape))
write(folder + "/red-blue-swapped.ppm", page[:, :, ::-1])
write(folder + "/colour-lost-to-black.ppm", numpy.repeat(numpy.where(page.min(axis=2) < 250, 0, 255).astype(
    numpy.uint8)[:, :, None], 3, axis=2))
write(folder + "/bottom-cut.ppm", page[:height - 400])
EOF
for fault in mirrored-left-right mirrored-top-bottom line-lost line-doubled stride red-blue-swapped \
  colour-lost-to-black bottom-cut; do
  if "$python" "$here/compare_pages.py" "$work/ref.ppm" "$work/$fault.ppm" "$fault" > "$work/out" 2>&1; then
    fail "the comparison let a page with a fault pass: $(cat "$work/out")"
  else
    echo "caught: $(cat "$work/out")"
  fi
done

# ---- Round trips a client's page takes must pass ---------------------------
for kind in pwg urf; do
  types="srgb_8 sgray_8"
  [ "$kind" = urf ] || types="$types black_1"  # Apple raster has no 1-bit type
  for type in $types; do
    "$build/bin/rk_raster_io" encode "$kind" "$type" 300 2 "$work/ref.ppm" "$work/page.$kind" ||
      { fail "$kind $type: the test page could not be written"; continue; }
    "$build/bin/rk_raster_io" decode "$work/page.$kind" "$work/back" > "$work/decoded" ||
      { fail "$kind $type: the test page could not be read back"; continue; }
    grep -qx "pages 2" "$work/decoded" || fail "$kind $type: not 2 pages: $(cat "$work/decoded")"
    grep -q "2480x3507 300x300 dpi $type" "$work/decoded" ||
      fail "$kind $type: the header is not A4 at 300 dpi: $(cat "$work/decoded")"
    reference=$work/ref.ppm
    [ "$type" = srgb_8 ] || reference=$work/ref.pgm
    "$python" "$here/compare_pages.py" "$reference" "$work/back-2.pnm" "$kind $type" ||
      fail "$kind $type: the round trip changed the page"
  done
done
# A truncated raster stream is named as such.
size=$(stat -c %s "$work/page.urf")
head -c $((size / 2)) "$work/page.urf" > "$work/cut.urf"
! "$build/bin/rk_raster_io" decode "$work/cut.urf" "$work/cut" > /dev/null 2> "$work/cut.err" ||
  fail "a raster stream cut in half was read as whole"

# ---- PCL XL structure ------------------------------------------------------
gs_page pxlcolor "$work/two.pxl" -dPAGES=2
pages=$("$python" "$here/pclxl_pages.py" "$work/two.pxl") || fail "Ghostscript's PCL XL is called broken: $pages"
case "$pages" in "pages 2 "*) ;; *) fail "Ghostscript's 2-page PCL XL counted as: $pages" ;; esac
size=$(stat -c %s "$work/two.pxl")
head -c $((size - 60)) "$work/two.pxl" > "$work/cut.pxl"
! "$python" "$here/pclxl_pages.py" "$work/cut.pxl" > "$work/out" || fail "a cut PCL XL stream passed: $(cat "$work/out")"
# The stream's last operators are EndPage and EndSession: drop the EndPage
# byte (0x44) and the page stays open.
"$python" - "$work/two.pxl" "$work/open.pxl" << 'EOF'
import sys
data = open(sys.argv[1], "rb").read()
end = data.rindex(b"\x1b%-12345X")
session_end = data.rindex(b"\x42", 0, end)
page_end = data.rindex(b"\x44", 0, session_end)
open(sys.argv[2], "wb").write(data[:page_end] + data[page_end + 1:])
EOF
! "$python" "$here/pclxl_pages.py" "$work/open.pxl" > "$work/out" ||
  fail "a PCL XL page left open passed: $(cat "$work/out")"
# A stream in the other byte order, with the kinds of values Ghostscript's
# streams lack: 16-bit attribute ids and array lengths, arrays of 32-bit
# numbers, boxes, both embedded data forms; then two pages, the second's
# EndPage hidden inside embedded data (a walk that does not skip it counts
# three pages).
"$python" - "$work/handmade.pxl" << 'EOF'
import struct, sys
be = lambda fmt, *v: struct.pack(">" + fmt, *v)
page = (b"\xc0\x00\xf8\x28"                              # ubyte 0, attribute 0x28
        + b"\xc1" + be("H", 300) + b"\xf9" + be("H", 0x89)  # uint16, 16-bit attribute id
        + b"\x43"                                          # BeginPage
        + b"\xca\xc1" + be("H", 3) + be("III", 1, 2, 3) + b"\xf8\x10"  # uint32 array, 16-bit length
        + b"\xe1" + be("HHHH", 0, 0, 10, 10) + b"\xf8\x41"  # uint16 box
        + b"\x6d"                                          # an operator inside the page
        + b"\xfa" + be("I", 4) + b"\x44\x44\x44\x44"      # embedded data holding EndPage bytes
        + b"\xfb\x02\x44\x43"                              # short embedded data
        + b"\x44")                                         # EndPage
stream = b"( HP-PCL XL;3;0\n" + b"\xc0\x01\xf8\x86\x41" + page + page + b"\x42"
open(sys.argv[1], "wb").write(stream)
EOF
pages=$("$python" "$here/pclxl_pages.py" "$work/handmade.pxl") || fail "a hand-made PCL XL stream is called broken: $pages"
case "$pages" in "pages 2 "*) ;; *) fail "the hand-made 2-page PCL XL counted as: $pages" ;; esac
printf '%%!PS\nshowpage\n' > "$work/not.pxl"
! "$python" "$here/pclxl_pages.py" "$work/not.pxl" > /dev/null || fail "PostScript passed as PCL XL"

if [ "$failures" -ne 0 ]; then
  echo "$failures failures" >&2
  exit 1
fi
echo "page tools: every fault caught, every round trip kept the page"
