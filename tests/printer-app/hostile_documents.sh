#!/usr/bin/env bash
# rkvtps-printer-app as installed, against documents from someone who means
# harm: PostScript that reads /etc/passwd or writes files, documents that
# never end rendering, documents that lie about their format, and a job
# cancelled while Ghostscript converts it. Each ends aborted (or cancelled)
# with a message saying why, nothing of it reaches the device, the next
# ordinary job prints, no file is written outside the spool and no
# Ghostscript is left running.
#
# Usage: hostile_documents.sh BUILD_DIR
#
# Runs in namespaces of its own like printer_app.sh; nothing outlives it.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../support/printer_app_env.sh
source "$here/../support/printer_app_env.sh"
RK_APP_NEEDS="gs pgrep" app_env_enter "$1" "$0"

port=$(free_port)
# One device a printer, each taking one language, so that every conversion
# route meets the documents: the device folder's conn-N is the printer's
# N-th job.
declare -A device_of=([pdfdev]=application/pdf [psdev]=application/postscript
  [pwgdev]=image/pwg-raster)
declare -A jobs_of=()
start_app "$port"
for printer in pdfdev psdev pwgdev; do
  device_port=$(free_port)
  start_device "$device_port" "$tree/$printer"
  add_printer "$printer" "socket://127.0.0.1:$device_port"
  "$app" modify -d "$printer" -o "rkvtps-document-formats=${device_of[$printer]}" > /dev/null ||
    fail "$printer: the device formats could not be set"
  jobs_of[$printer]=0
done

ipp_test job Print-Job << 'EOF_TEST'
  ATTR name requesting-user-name mallory
  ATTR mimeMediaType document-format $filetype
  GROUP job-attributes-tag
  ATTR integer copies $copies
  FILE $filename
  STATUS successful-ok
  EXPECT job-id
}
EOF_TEST
# send PRINTER DOC FORMAT [COPIES]: a job; its id in $job_id, its device's
# capture file (once it arrives) in $capture.
send() {
  ipptool -T 20 -tv -f "$2" -d filetype="$3" -d copies="${4:-1}" "$(uri "$1")" "$tree/job.test" \
    > "$tree/log/send.out" 2>&1 || { fail "$1: ipptool could not send $2"; return 1; }
  job_id=$(sed -n 's/.*job-id (integer) = \([0-9]*\).*/\1/p' "$tree/log/send.out" | head -n 1)
  jobs_of[$1]=$((jobs_of[$1] + 1))
  capture=$tree/$1/conn-${jobs_of[$1]}
  [ -n "$job_id" ]
}

job_message() {
  job_attributes "$1" "$2" | sed -n 's/.*job-state-message (textWithoutLanguage) = //p'
}
# The device's file for the job, once the connection has closed.
wait_capture() {
  for _ in $(seq 100); do
    [ -e "$capture" ] && return 0
    sleep 0.1
  done
  fail "$1: the device never saw the job's connection"
  return 1
}

# No Ghostscript outlives its job; no conversion folder outlives it either.
check_nothing_left() {
  local left
  left=$(pgrep -a -x gs || true)
  [ -z "$left" ] || fail "$1: Ghostscript still runs: $left"
  left=$(find "$tree/spool" -maxdepth 1 -name 'rkvtps-convert-*' 2> /dev/null || true)
  [ -z "$left" ] || fail "$1: a conversion folder was left in the spool: $left"
}

# An ordinary job after a hostile one prints: commands, then a PDF.
printf '%%!PS-Adobe-3.0\n/Helvetica findfont 20 scalefont setfont\n72 700 moveto (ordinary) show showpage\n' \
  > "$tree/docs/ordinary.ps"
check_next_job_prints() {
  send pdfdev "$tree/docs/ordinary.ps" application/postscript || return 0
  local state
  state=$(wait_job_end pdfdev "$job_id")
  [ "$state" = completed ] || { fail "after $1: the next ordinary job ended $state"; return 0; }
  wait_capture "after $1" || return 0
  local offset
  offset=$(grep -abo '%PDF-' "$capture" | head -n 1 | cut -d: -f1)
  [ -n "$offset" ] && [ "$offset" -gt 0 ] ||
    { fail "after $1: the ordinary job's PDF did not follow commands"; return 0; }
  head -c "$offset" "$capture" > "$capture.header"
  "$tool" decode --strict --file "$capture.header" > "$capture.decoded" 2>&1 ||
    fail "after $1: the commands do not decode strictly"
}

# hostile NAME PRINTER DOC FORMAT STATE REASON TEXT: the job ends in STATE
# with REASON among its reasons and TEXT in its message; its device got
# nothing; the next ordinary job prints.
hostile() {
  local name=$1 printer=$2 doc=$3 format=$4 want=$5 reason=$6 text=$7
  send "$printer" "$doc" "$format" || return 0
  local id=$job_id state
  state=$(wait_job_end "$printer" "$id")
  [ "$state" = "$want" ] || fail "$name: the job ended $state, not $want"
  local attributes
  attributes=$(job_attributes "$printer" "$id")
  echo "$attributes" | grep -q "$reason" || fail "$name: the job's reasons lack $reason"
  local message
  message=$(job_message "$printer" "$id")
  echo "$name: $message"
  echo "$message" | grep -qF "$text" || fail "$name: the message does not say \"$text\""
  if wait_capture "$name"; then
    [ ! -s "$capture" ] || fail "$name: $(stat -c %s "$capture") bytes reached the device"
  fi
  check_nothing_left "$name"
  check_next_job_prints "$name"
}

# ---- Documents -------------------------------------------------------------
printf '%%!PS\n(/etc/passwd) (r) file 4096 string readstring pop\n/Courier findfont 8 scalefont setfont 20 700 moveto show showpage\n' \
  > "$tree/docs/passwd.ps"
printf '%%!PS\n(%s) (w) file dup (written) writestring closefile\nshowpage\n' \
  /tmp/rkvtps-hostile-written > "$tree/docs/write-tmp.ps"
printf '%%!PS\n(%s) (w) file dup (written) writestring closefile\nshowpage\n' \
  "$tree/spool/rkvtps-hostile-written" > "$tree/docs/write-spool.ps"
printf '%%!PS\n{} loop\n' > "$tree/docs/loop.ps"
# A page whose form draws the next form ten times, twelve deep: a few
# hundred bytes that ask for 10^12 strokes. late.pdf has a page of noise
# before it; noise.pdf is that page alone.
python3 - "$tree/docs" << 'EOF_PY'
import os
import sys
def stream(dictionary, data):
    return b"<< %s /Length %d >>\nstream\n%s\nendstream" % (dictionary, len(data), data)
# Noise compresses to nothing: a page of it is some MiB of PWG raster.
noise = stream(b"/Type /XObject /Subtype /Image /Width 850 /Height 1100 /ColorSpace /DeviceGray "
               b"/BitsPerComponent 8", os.urandom(850 * 1100))
def write(path, pages):
    depth = 12
    objects = {1: b"<< /Type /Catalog /Pages 2 0 R >>", 99: noise}
    kids, number = [], 3
    for content in pages:
        objects[number] = (b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] "
                           b"/Resources << /XObject << /F1 100 0 R /Im 99 0 R >> >> "
                           b"/Contents %d 0 R >>" % (number + 1))
        objects[number + 1] = stream(b"", content)
        kids.append(b"%d 0 R" % number)
        number += 2
    objects[2] = b"<< /Type /Pages /Kids [%s] /Count %d >>" % (b" ".join(kids), len(kids))
    for level in range(1, depth + 1):
        number = 99 + level
        if level < depth:
            body = b"".join(b"q 1 0 0 1 %d 0 cm /F%d Do Q\n" % (i, level + 1) for i in range(10))
            resources = b"/Resources << /XObject << /F%d %d 0 R >> >>" % (level + 1, number + 1)
        else:
            body, resources = b"0 0 m 500 700 l S", b""
        objects[number] = stream(b"/Type /XObject /Subtype /Form /BBox [0 0 612 792] "
                                 + resources, body)
    out = bytearray(b"%PDF-1.4\n")
    offsets = {}
    for number in sorted(objects):
        offsets[number] = len(out)
        out += b"%d 0 obj\n%s\nendobj\n" % (number, objects[number])
    xref = len(out)
    size = max(objects) + 1
    out += b"xref\n0 %d\n0000000000 65535 f \n" % size
    for number in range(1, size):
        if number in offsets:
            out += b"%010d 00000 n \n" % offsets[number]
        else:
            out += b"0000000000 65535 f \n"
    out += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (size, xref)
    open(path, "wb").write(out)
endless, image = b"/F1 Do", b"q 612 0 0 792 0 0 cm /Im Do Q"
write(sys.argv[1] + "/forms.pdf", [endless])
write(sys.argv[1] + "/late.pdf", [image, endless])
write(sys.argv[1] + "/noise.pdf", [image])
EOF_PY
printf '#!/bin/sh\ntouch /tmp/rkvtps-hostile-script\n' > "$tree/docs/script.pdf"
head -c 4096 "$(command -v gs)" > "$tree/docs/elf.pdf"
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -sOutputFile="$tree/docs/real.pdf" \
  "$tree/docs/ordinary.ps"
# A PDF cut before its first page: Ghostscript finds no catalogue and,
# left to itself, ends well having written a prolog and no page.
head -c 300 "$tree/docs/real.pdf" > "$tree/docs/cut.pdf"
# A PDF whose PJL header turns the device to another language.
{
  printf '\033%%-12345X@PJL ENTER LANGUAGE=PCL\n'
  cat "$tree/docs/real.pdf"
} > "$tree/docs/pjl.pdf"

# ---- A cancelled conversion: Ghostscript dies with the job ----------------
# Under the default CPU limit (two minutes), so only the cancel ends it.
send pwgdev "$tree/docs/forms.pdf" application/pdf
cancel_id=$job_id
for _ in $(seq 100); do
  pgrep -x gs > /dev/null && break
  sleep 0.1
done
pgrep -x gs > /dev/null || fail "cancel: no Ghostscript ran for the endless PDF"
"$app" cancel -d pwgdev -j "$cancel_id" > /dev/null || fail "cancel: the job could not be cancelled"
state=$(wait_job_end pwgdev "$cancel_id")
[ "$state" = canceled ] || fail "cancel: the job ended $state"
for _ in $(seq 50); do
  pgrep -x gs > /dev/null || break
  sleep 0.1
done
check_nothing_left "cancel"
if wait_capture "cancel"; then
  [ ! -s "$capture" ] || fail "cancel: $(stat -c %s "$capture") bytes reached the device"
fi

# ---- The limits are the server's options ------------------------------------
if timeout 20 "$app" server -o convert-cpu-seconds=soon -o server-port="$(free_port)" \
  > "$tree/log/bad-option.out" 2>&1; then
  fail "a server started with convert-cpu-seconds=soon"
fi
grep -q 'bad convert-cpu-seconds "soon"' "$tree/log/bad-option.out" ||
  fail "a bad convert-cpu-seconds is not named: $(head -c 300 "$tree/log/bad-option.out")"
kill "$app_pid"
wait "$app_pid" || true
for _ in $(seq 50); do
  [ -S /run/rkvtps-printer-app.sock ] || break
  sleep 0.1
done
start_app "$port" convert-cpu-seconds=3

# ---- Hostile documents ----------------------------------------------------
# name | printer | document (in docs/) | its declared format | the end |
# what the message says | a reason. Read from fd 3: what a case runs may
# read its standard input.
while IFS='|' read -r -u 3 name printer doc format want text reason; do
  hostile "$name" "$printer" "$tree/docs/$doc" "$format" "$want" "$reason" "$text"
done 3<< 'EOF_CASES'
read passwd|pdfdev|passwd.ps|application/postscript|aborted|invalidfileaccess|document-unprintable-error
write /tmp|pdfdev|write-tmp.ps|application/postscript|aborted|invalidfileaccess|document-unprintable-error
write the spool|pdfdev|write-spool.ps|application/postscript|aborted|invalidfileaccess|document-unprintable-error
endless PostScript|pdfdev|loop.ps|application/postscript|aborted|used up its 3 seconds of CPU time|document-unprintable-error
endless PDF|pwgdev|forms.pdf|application/pdf|aborted|used up its 3 seconds of CPU time|document-unprintable-error
script sent as PDF|pdfdev|script.pdf|application/pdf|aborted|starts like a script|document-format-error
program sent as PDF|pwgdev|elf.pdf|application/pdf|aborted|starts like an ELF program|document-format-error
cut PDF|psdev|cut.pdf|application/pdf|aborted|Error: |document-unprintable-error
PJL header to another language|pdfdev|pjl.pdf|application/pdf|aborted|starts like a PJL job|document-format-error
PDF sent as PostScript|psdev|real.pdf|application/postscript|aborted|starts like a PDF document|document-format-error
EOF_CASES

for written in /tmp/rkvtps-hostile-written /tmp/rkvtps-hostile-script \
  "$tree/spool/rkvtps-hostile-written"; do
  [ ! -e "$written" ] || fail "a document wrote $written"
done
if grep -q "root:" "$tree"/pdfdev/conn-* 2> /dev/null; then fail "/etc/passwd reached the device"; fi

# ---- Conversions longer than what is held back ----------------------------
# A page of noise in 8-bit grey PWG raster at 300 dpi is some MiB, more
# than the application holds back: it streams. A failure after it stops the job
# where it is: what the device got is what the message counts, nothing more.
send pwgdev "$tree/docs/late.pdf" application/pdf
state=$(wait_job_end pwgdev "$job_id")
[ "$state" = aborted ] || fail "late failure: the job ended $state"
message=$(job_message pwgdev "$job_id")
echo "late failure: $message"
echo "$message" | grep -q "used up its 3 seconds of CPU time" ||
  fail "late failure: the message does not name the CPU limit"
if wait_capture "late failure"; then
  counted=$(echo "$message" | sed -n 's/.*(\([0-9]*\) bytes sent).*/\1/p')
  [ "$(stat -c %s "$capture")" = "${counted:-none}" ] ||
    fail "late failure: the device got $(stat -c %s "$capture") bytes, the message says ${counted:-nothing}"
  [ "$(grep -c PwgRaster "$capture" || true)" = 1 ] ||
    fail "late failure: the device did not get the first page alone"
fi
check_nothing_left "late failure"
# two_copies WHAT PRINTER DOC START: a PDF job of two copies completes and
# its device ($capture) gets two documents, each beginning with START.
two_copies() {
  local what=$1 printer=$2 doc=$3 start=$4 state
  send "$printer" "$doc" application/pdf 2 || return 1
  state=$(wait_job_end "$printer" "$job_id")
  [ "$state" = completed ] || fail "$what: the job ended $state"
  wait_capture "$what" || return 1
  [ "$(grep -ac "$start" "$capture" || true)" = 2 ] ||
    fail "$what: the device did not get two documents beginning with $start"
}
# Two copies of a streamed conversion: converted twice, commands once.
if two_copies "two streamed copies" pwgdev "$tree/docs/noise.pdf" RaS2; then
  offset=$(grep -abo RaS2 "$capture" | head -n 1 | cut -d: -f1)
  head -c "${offset:-0}" "$capture" > "$capture.header"
  "$tool" decode --strict --file "$capture.header" > "$capture.decoded" 2>&1 ||
    fail "two streamed copies: the commands do not decode strictly"
fi
# Two copies held back whole: one conversion sent twice.
two_copies "two held copies" psdev "$tree/docs/real.pdf" '^%!PS-Adobe' || true

# ---- What a conversion costs (figures, not a verdict) -----------------------
send psdev "$tree/docs/real.pdf" application/pdf
state=$(wait_job_end psdev "$job_id")
[ "$state" = completed ] || fail "a small PDF to the PostScript device ended $state"
grep -h "converted to" "$tree/log/app.log" | sed 's/^/figure: /' | tail -n 5

app_env_finish "hostile documents"
