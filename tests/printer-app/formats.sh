#!/usr/bin/env bash
# Every client format to every device language: one test page sent as PDF,
# PostScript, PWG raster, Apple raster (each in colour where the printer
# lists colour), JPEG and PNG to four printers of the application, each
# with a device that takes one language only (PDF, PostScript, PWG raster,
# PCL XL). Each job must complete, and what reaches the device must be
# commands that `rkvtps decode --strict` reads, then the document in the device's language: rendered back at
# 300 dpi (Ghostscript for PDF and PostScript, libcups' raster reader for
# PWG raster) it must agree with Ghostscript's rendering of the test page
# in at least 98 % of its pixels; PCL XL, which nothing here renders, must
# be a well-formed stream of one page. Prints the table of figures.
#
# Usage: formats.sh BUILD_DIR
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../support/printer_app_env.sh
source "$here/../support/printer_app_env.sh"
RK_APP_NEEDS="gs /usr/bin/python3" app_env_enter "$1" "$0"
python=/usr/bin/python3  # Debian's python3-numpy is the system Python's
"$python" -c "import numpy" 2> /dev/null ||
  app_env_skip "python3-numpy is missing (scripts/install-deps.sh installs it)"
pages_tool=$build/bin/rk_raster_io
[ -x "$pages_tool" ] || app_env_skip "rk_raster_io was not built"
support=$here/../support

# ---- The test page in each client format, and its reference rendering ------
docs=$tree/docs
gs_page() {  # DEVICE OUTPUT [OPTION...]
  local device=$1 output=$2
  shift 2
  gs -q -dSAFER -dBATCH -dNOPAUSE -sPAPERSIZE=a4 -r300 -sDEVICE="$device" \
    -sOutputFile="$output" "$@" "$support/test_page.ps"
}
cp "$support/test_page.ps" "$docs/page.ps"
gs_page ppmraw "$docs/reference.ppm"
gs_page pdfwrite "$docs/page.pdf"
# A photo the size of the page's printable pixels (the PWG header's A4 at
# 300 dpi, 2480x3507): placed one to one, not scaled to fit. One row
# shorter than the reference, so the drawing moves up a pixel to keep its
# top rows where the reference has them.
image_page=(-g2480x3507 -dFIXEDMEDIA -c "<</PageOffset [0 0.24]>> setpagedevice" -f)
gs_page jpeg "$docs/page.jpg" -dJPEGQ=90 "${image_page[@]}"
gs_page png16m "$docs/page.png" "${image_page[@]}"

# client format | file (the raster pages join once the printer says which
# types it takes)
clients=(
  "application/pdf|page.pdf"
  "application/postscript|page.ps"
)
# printer | device language
devices=(
  "pdf|application/pdf"
  "ps|application/postscript"
  "pwg|image/pwg-raster"
  "pxl|application/vnd.hp-pclxl"
)

port=$(free_port)
start_app "$port"
declare -A device_jobs
ipp_test device-color Get-Printer-Attributes << 'EOF'
  ATTR keyword requested-attributes rkvtps-device-color-default
  STATUS successful-ok
  DISPLAY rkvtps-device-color-default
}
EOF
colour=0
for entry in "${devices[@]}"; do
  name=${entry%%|*}
  language=${entry#*|}
  device_port=$(free_port)
  start_device "$device_port" "$tree/$name"
  add_printer "$name" "socket://127.0.0.1:$device_port"
  ipptool -T 10 -tv "ipp://localhost:$port/ipp/print/$name" "$tree/device-color.test" \
    > "$tree/log/device-color.out" 2>&1 || true
  ! grep -q "rkvtps-device-color-default (" "$tree/log/device-color.out" || colour=1
  "$app" modify -d "$name" -o "rkvtps-document-formats=$language" > /dev/null ||
    fail "$name: the device's language could not be set to $language"
  # A colour device where the application has the setting (a printer
  # that has it lists it): raster clients then send colour as well as grey.
  if [ "$colour" = 1 ]; then
    "$app" modify -d "$name" -o rkvtps-device-color=color > /dev/null || fail "$name: colour not set"
  fi
  device_jobs[$name]=0
done
# Raster pages as driverless clients make them, in each type the printer
# lists that a client chooses: PWG srgb_8, sgray_8 and black_1, Apple
# raster SRGB24 and W8.
ipp_test raster-types Get-Printer-Attributes << 'EOF'
  ATTR keyword requested-attributes pwg-raster-document-type-supported,urf-supported
  STATUS successful-ok
  DISPLAY pwg-raster-document-type-supported
  DISPLAY urf-supported
}
EOF
# A changed device setting shows within a few seconds.
for _ in $(seq 50); do
  ipptool -T 10 -tv "$(uri pwg)" "$tree/raster-types.test" > "$tree/log/raster-types.out" 2>&1 || true
  [ "$colour" = 0 ] || grep -q "pwg-raster-document-type-supported.*srgb_8" "$tree/log/raster-types.out" && break
  sleep 0.2
done
pwg_listed=$(sed -n 's/.*pwg-raster-document-type-supported ([^)]*) = //p' "$tree/log/raster-types.out")
urf_listed=$(sed -n 's/.*urf-supported ([^)]*) = //p' "$tree/log/raster-types.out")
echo "colour devices: $([ "$colour" = 1 ] && echo yes || echo "no (no rkvtps-device-color setting)");" \
  "the printer lists PWG raster types $pwg_listed; urf-supported $urf_listed"
raster_pages=0
# add_raster_client KIND TYPE: the test page as KIND (pwg, urf) pages of TYPE.
add_raster_client() {
  local format=image/pwg-raster
  [ "$1" = pwg ] || format=image/urf
  "$pages_tool" encode "$1" "$2" 300 1 "$docs/reference.ppm" "$docs/page-$2.$1"
  clients+=("$format|page-$2.$1")
  raster_pages=$((raster_pages + 1))
}
for type in srgb_8 sgray_8 black_1; do
  [[ ",$pwg_listed," != *",$type,"* ]] || add_raster_client pwg "$type"
done
[ "$raster_pages" -gt 0 ] || fail "the printer lists no PWG raster type a client sends: '$pwg_listed'"
raster_pages=0
for type in SRGB24:srgb_8 W8:sgray_8; do
  [[ ",$urf_listed," != *",${type%%:*},"* ]] || add_raster_client urf "${type#*:}"
done
[ "$raster_pages" -gt 0 ] || fail "the printer lists no Apple raster type a client sends: '$urf_listed'"
colormode=monochrome
[[ ",$pwg_listed," != *",srgb_8,"* ]] || colormode=color
clients+=("image/jpeg|page.jpg" "image/png|page.png")

# Each job at 300 dpi, the resolution of the test page and its reference,
# in colour where the devices print colour.
# shellcheck disable=SC2016 # ipptool expands $colormode
print_job_test formats 'ATTR resolution printer-resolution 300dpi' \
  'ATTR keyword print-color-mode $colormode'
# The document's start in each device language, as the splitter looks for it.
declare -A magic_of=(
  [application/pdf]=pdf [application/postscript]=ps [image/pwg-raster]=pwg
  [application/vnd.hp-pclxl]=pxl
)

# split_capture CAPTURE LANGUAGE: CAPTURE.header (what comes before the
# document) and CAPTURE.doc (from the document's first byte on); fails
# when the document's start is not found, when anything but commands comes
# before it, or when commands come again after it.
split_capture() {
  "$python" - "$1" "$2" << 'EOF'
import re
import sys
capture, language = sys.argv[1], sys.argv[2]
starts = {"pdf": [b"%PDF-"], "ps": [b"%!PS", b"%!"], "pwg": [b"RaS2"],
          "pxl": [b"\x1b%-12345X", b") HP-PCL XL", b"( HP-PCL XL"]}[language]
data = open(capture, "rb").read()
found = [data.find(start) for start in starts if data.find(start) >= 0]
if not found:
    print("no %s document in %d bytes; they begin %r" % (language, len(data), data[:80]))
    sys.exit(1)
offset = min(found)
header, document = data[:offset], data[offset:]
# Only commands before the document, and none after its first byte: the
# commands go in front once per job, whatever the route.
if not re.fullmatch(rb"(@[A-Z]{4}=[^\r\n]*(\r?\n)?)+", header):
    print("before the document: %r, not only commands" % header[:200])
    sys.exit(1)
if b"@JOAU=" in document or b"@NLPP=" in document:
    print("commands again inside the document, at offset %d" % (offset + min(
        i for i in (document.find(b"@JOAU="), document.find(b"@NLPP=")) if i >= 0)))
    sys.exit(1)
open(capture + ".header", "wb").write(header)
open(capture + ".doc", "wb").write(document)
print("%d bytes of commands, %d of document" % (offset, len(data) - offset))
EOF
}

# render_capture DOC LANGUAGE: DOC-N.pnm for each page, and the page count
# on standard output (the PCL XL walk's figures for PCL XL).
render_capture() {
  case "$2" in
    application/pdf | application/postscript)
      gs -q -dSAFER -dBATCH -dNOPAUSE -r300 -sDEVICE=ppmraw -sOutputFile="$1-%d.pnm" "$1" \
        > "$1.render" 2>&1 || { cat "$1.render"; return 1; }
      find "$(dirname "$1")" -name "$(basename "$1")-*.pnm" | wc -l
      ;;
    image/pwg-raster)
      "$pages_tool" decode "$1" "$1" > "$1.render" 2>&1 || { cat "$1.render"; return 1; }
      awk '$1 == "pages" { print $2 }' "$1.render"
      ;;
    application/vnd.hp-pclxl)
      "$python" "$support/pclxl_pages.py" "$1"
      ;;
  esac
}

table=$tree/log/table
printf '%-24s %-26s %-10s %s\n' "client format" "device language" "job" "what the device received" \
  > "$table"
for client in "${clients[@]}"; do
  format=${client%%|*}
  file=${client#*|}
  label=$format
  type=${file#page-}
  [ "$type" = "$file" ] || label="$format ${type%.*}"  # the raster type
  for entry in "${devices[@]}"; do
    name=${entry%%|*}
    language=${entry#*|}
    what="$label -> $language"
    row() { printf '%-24s %-26s %-10s %s\n' "$label" "$language" "$1" "$2" >> "$table"; }
    # Raster jobs are read from the connection while they print: one at a
    # time, each to its end before the next.
    if ! ipptool -T 60 -tv -f "$docs/$file" -d filetype="$format" -d colormode="$colormode" \
      "$(uri "$name")" "$tree/job.test" \
      > "$tree/log/ipptool.out" 2>&1; then
      fail "$what: the job was refused: $(grep -E 'status-code|FAIL' "$tree/log/ipptool.out" | awk 'NR <= 3')"
      row refused "-"
      continue
    fi
    job=$(awk '/job-id \(integer\) = / { print $NF; exit }' "$tree/log/ipptool.out")
    state=$(wait_job_end "$name" "$job")
    if [ "$state" != completed ]; then
      message=$(job_attributes "$name" "$job" | sed -n 's/.*job-state-message ([a-zA-Z]*) = //p')
      fail "$what: the job ended $state: $message"
      row "$state" "${message:0:120}"
      continue
    fi
    # A job the application refused may still have opened the device and
    # closed it empty: the job's capture is the newest connection since it.
    capture=
    for _ in $(seq 100); do
      count=$(find "$tree/$name" -name 'conn-*' ! -name '*.*' | wc -l)
      [ "$count" -gt "${device_jobs[$name]}" ] && { capture=$tree/$name/conn-$count; break; }
      sleep 0.1
    done
    [ -n "$capture" ] || { fail "$what: completed, but nothing reached the device"; row completed "nothing"; continue; }
    device_jobs[$name]=$count
    if ! split=$(split_capture "$capture" "${magic_of[$language]}"); then
      fail "$what: $split"
      row completed "not $language: ${split:0:100}"
      continue
    fi
    if ! "$tool" decode --strict --file "$capture.header" > "$capture.decoded" 2>&1; then
      fail "$what: the commands in front do not decode strictly: $(head -c 300 "$capture.decoded")"
      row completed "commands do not decode"
      continue
    fi
    if ! pages=$(render_capture "$capture.doc" "$language"); then
      fail "$what: the document does not render: ${pages:0:300}"
      row completed "does not render: ${pages:0:80}"
      continue
    fi
    if [ "$language" = application/vnd.hp-pclxl ]; then
      case "$pages" in "pages 1 "*) ;; *) fail "$what: the PCL XL stream is not one page: $pages" ;; esac
      row completed "$split; PCL XL $pages"
      continue
    fi
    [ "$pages" = 1 ] || fail "$what: $pages pages rendered, not 1"
    if agreement=$("$python" "$support/compare_pages.py" "$docs/reference.ppm" "$capture.doc-1.pnm" "$what"); then
      row completed "$split; ${agreement#*: }"
    else
      fail "$agreement"
      row completed "$split; ${agreement#*: } (too few)"
    fi
    rm -f "$capture".doc-*.pnm
  done
done

echo "every client format to every device language (pixels compared at 300 dpi, threshold 128 per channel, or grey where either side is grey):"
cat "$table"
app_env_finish "formats"
