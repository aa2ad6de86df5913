#!/usr/bin/env bash
# Raster jobs through PAPPL's raster calls, as installed: PWG and Apple
# raster to devices taking PWG raster, PostScript, PDF and PCL XL, the
# commands in front once; a 1-bit client page arrives with its own pixels
# (the header the calls get describes their lines); a truncated stream and
# a header claiming an absurd page each end aborted with a message, the
# device gets nothing after the failure, and the next job prints.
#
# Usage: raster_job.sh BUILD_DIR
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../support/printer_app_env.sh
source "$here/../support/printer_app_env.sh"
RK_APP_NEEDS="gs" app_env_enter "$1" "$0"
capture_tool=$here/raster_capture.py

port=$(free_port)
start_app "$port"
uri() { echo "ipp://localhost:$port/ipp/print/$1"; }

# name | the device's formats
while IFS='|' read -r name formats; do
  device_port=$(free_port)
  start_device "$device_port" "$tree/$name"
  add_printer "$name" "socket://127.0.0.1:$device_port"
  "$app" modify -d "$name" -o rkvtps-document-formats="$formats" > /dev/null ||
    fail "$name: its device formats could not be set"
done << 'EOF'
pwg|image/pwg-raster
ps|application/postscript
pdf|application/pdf
pxl|application/vnd.hp-pclxl
EOF

# ---- Test documents: a lopsided page (a bar at the top, a block low at the
# right, a diagonal, a ramp), so a wrong stride or a lost line shows.
cat > "$tree/docs/page.ps" << 'EOF'
%!PS
/w currentpagedevice /PageSize get 0 get def
/h currentpagedevice /PageSize get 1 get def
0 setgray 0 h 40 sub w 40 rectfill
0.5 setgray w 150 sub 30 120 90 rectfill
20 100 moveto w 60 sub h 120 sub lineto 8 setlinewidth stroke
0 1 19 { dup 20 div setgray 30 mul 40 add 300 30 30 rectfill } for
showpage
EOF
# A page of noise: its pages compress to nearly their size.
cat > "$tree/docs/noise.ps" << 'EOF'
/line 600 string def
gsave 595 842 scale
600 800 8 [600 0 0 -800 0 800] { 0 1 599 { line exch rand 255 and put } for line } image
grestore showpage
EOF
render() {  # render OUT DEVICE RESOLUTION [OPTIONS...] (from page.ps, or NOISE=1 noise.ps)
  local out=$1 device=$2 resolution=$3 source=page
  [ -z "${NOISE:-}" ] || source=noise
  shift 3
  gs -q -dSAFER -dBATCH -dNOPAUSE -sPAPERSIZE=a4 -r"$resolution" -sDEVICE="$device" "$@" \
    -sOutputFile="$tree/docs/$out" "$tree/docs/$source.ps" \
    > "$tree/log/gs-$out.log" 2>&1
}
render gray8.pwg pwgraster 100 -dcupsColorSpace=18 -dcupsBitsPerColor=8
render black1.pwg pwgraster 150 -dcupsColorSpace=3 -dcupsBitsPerColor=1
render page.jpg jpeggray 75
render page.png png16m 75
NOISE=1 render noise.pwg pwgraster 100 -dcupsColorSpace=18 -dcupsBitsPerColor=8
# Apple raster from the same page (Debian's Ghostscript writes 1-bit URF,
# which no AirPrint client sends).
python3 "$capture_tool" urf "$tree/docs/gray8.pwg" "$tree/docs/gray8.urf"
# Cut inside the page: about half its lines never come.
head -c $(($(stat -c %s "$tree/docs/gray8.pwg") / 2)) "$tree/docs/gray8.pwg" > "$tree/docs/cut.pwg"
# Cut between two pages: the first page announces two, one comes.
cp "$tree/docs/gray8.pwg" "$tree/docs/short.pwg"
python3 "$capture_tool" set "$tree/docs/short.pwg" total_page_count=2
# A page of 10^6 x 10^6 pixels whose line length agrees with its width: a
# header PAPPL's own check lets through.
cp "$tree/docs/gray8.pwg" "$tree/docs/absurd.pwg"
python3 "$capture_tool" set "$tree/docs/absurd.pwg" width=1000000 height=1000000 \
  bytes_per_line=1000000
# A line length that does not follow from the width.
cp "$tree/docs/gray8.pwg" "$tree/docs/stride.pwg"
python3 "$capture_tool" set "$tree/docs/stride.pwg" bytes_per_line=827

# shellcheck disable=SC2016 # ipptool expands $copies
print_job_test raster 'ATTR integer copies $copies'
ipp_test job-state Get-Job-Attributes << 'EOF'
  ATTR integer job-id $job
  STATUS successful-ok
  DISPLAY job-state
  DISPLAY job-state-message
}
EOF

declare -A sent
# submit PRINTER DOC FORMAT [COPIES]: sets $job (0 when refused).
submit() {
  job=0
  ipptool -T 60 -tv -f "$tree/docs/$2" -d filetype="$3" -d copies="${4:-1}" "$(uri "$1")" \
    "$tree/job.test" \
    > "$tree/log/submit.out" 2>&1 || true
  job=$(awk '$1 == "job-id" { print $NF }' "$tree/log/submit.out" | tail -n 1)
  [ -n "$job" ] || { job=0; fail "$1 $2: the job was refused"; cat "$tree/log/submit.out" >&2; }
  sent[$1]=$((${sent[$1]:-0} + 1))
}
# wait_end PRINTER: the job's final state in $state, its message in $message.
wait_end() {
  state=unknown message=""
  [ "$job" != 0 ] || return 0
  for _ in $(seq 300); do
    ipptool -T 10 -tv -d job="$job" "$(uri "$1")" "$tree/job-state.test" > "$tree/log/state.out" 2>&1 || true
    state=$(awk '$1 == "job-state" { print $NF }' "$tree/log/state.out")
    case "$state" in completed | aborted | canceled) break ;; esac
    sleep 0.2
  done
  message=$(sed -n 's/^ *job-state-message (textWithoutLanguage) = //p' "$tree/log/state.out")
}
# capture_of PRINTER: the device's latest connection, split into
# $capture.header and $capture.doc; $kind is what the document is.
capture_of() {
  capture=$tree/$1/conn-${sent[$1]}
  for _ in $(seq 100); do
    [ -e "$capture" ] && break
    sleep 0.1
  done
  [ -e "$capture" ] || { fail "$1: job ${sent[$1]} never reached the device"; return 1; }
  kind=$(python3 "$capture_tool" split "$capture")
}
commands_decode() {
  "$tool" decode --strict --file "$capture.header" > "$capture.decoded" 2>&1 ||
    { fail "$1: the commands before the document do not decode strictly"; cat "$capture.decoded" >&2; }
  [ "$(grep -c 'owner "raster"' "$capture.decoded")" = 1 ] || fail "$1: the commands are not there once"
}

# ---- Each client format to each device language ----------------------------
# printer | document | format | copies | the document kind the device gets
while IFS='|' read -r printer doc format copies expected; do
  submit "$printer" "$doc" "$format" "$copies"
  wait_end "$printer"
  [ "$state" = completed ] || { fail "$doc to $printer: $state ($message)"; continue; }
  capture_of "$printer" || continue
  [ "$kind" = "$expected" ] || { fail "$doc to $printer: the device got $kind, not $expected"; continue; }
  commands_decode "$printer"
  case "$kind" in
    pwg)
      # Re-encoded, the same pixels: the header the raster calls got
      # describes the lines they got (1 bit included). A URF page is
      # compared with the PWG page it was made from.
      python3 "$capture_tool" pages "$tree/docs/${doc%.*}.pwg" > "$capture.sent"
      python3 "$capture_tool" pages "$capture.doc" > "$capture.got"
      cmp -s "$capture.sent" "$capture.got" ||
        fail "$doc to $printer: the pages differ: $(cat "$capture.sent") / $(cat "$capture.got")" ;;
    postscript | pdf)
      gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pgmraw -r50 -sOutputFile="$capture.%d.pgm" \
        "$capture.doc" > "$capture.gs.log" 2>&1 || fail "$doc to $printer: gs cannot render it"
      # The copies are the document's own (PostScript's /NumCopies, PDF's
      # pages listed again); PAPPL makes an image's copies itself.
      [ -s "$capture.$copies.pgm" ] && [ ! -e "$capture.$((copies + 1)).pgm" ] ||
        fail "$doc to $printer: not $copies pages" ;;
    pjl)
      # Ghostscript's PCL XL: a PJL job whose language is PCL XL.
      [ "$(grep -c -a 'HP-PCL XL' "$capture.doc")" -ge 1 ] || fail "$doc to $printer: no PCL XL stream" ;;
  esac
done << 'EOF'
pwg|gray8.pwg|image/pwg-raster|1|pwg
pwg|black1.pwg|image/pwg-raster|1|pwg
pwg|gray8.urf|image/urf|1|pwg
ps|gray8.pwg|image/pwg-raster|2|postscript
ps|gray8.urf|image/urf|1|postscript
ps|page.jpg|image/jpeg|2|postscript
pdf|black1.pwg|image/pwg-raster|1|pdf
pdf|gray8.pwg|image/pwg-raster|3|pdf
pdf|gray8.urf|image/urf|1|pdf
pdf|page.jpg|image/jpeg|2|pdf
pdf|page.png|image/png|1|pdf
pxl|gray8.pwg|image/pwg-raster|1|pjl
pxl|page.png|image/png|1|pjl
EOF

# ---- Hostile raster: aborted with a message, nothing after the failure -----
# printer | document | part of the message | what the device must not get
while IFS='|' read -r printer doc why never; do
  submit "$printer" "$doc" image/pwg-raster
  wait_end "$printer"
  [ "$state" = aborted ] || fail "$doc to $printer: $state, not aborted"
  case "$message" in *"$why"*) ;; *) fail "$doc to $printer: the message \"$message\" does not say \"$why\"" ;; esac
  capture_of "$printer" || continue
  if [ -e "$capture.doc" ] && grep -q -a -F -e "$never" "$capture.doc"; then
    fail "$doc to $printer: the device got \"$never\" after the failure"
  fi
  # Then the next job prints.
  submit "$printer" gray8.pwg image/pwg-raster
  wait_end "$printer"
  [ "$state" = completed ] || fail "after $doc, the next job on $printer: $state ($message)"
done << 'EOF'
ps|cut.pwg|raster stream ended on page 1|showpage
pdf|cut.pwg|raster stream ended on page 1|xref
pdf|short.pwg|after 1 of the 2 pages it announced|xref
pwg|absurd.pwg|larger than 100 inches|PwgRaster
ps|absurd.pwg|larger than 100 inches|%%Page: 
pwg|stride.pwg|raster header is not valid|PwgRaster
EOF

# ---- A device that dies inside the job: aborted, saying so ----------------
dies_port=$(free_port)
start_device "$dies_port" "$tree/dies" 2000
add_printer dies "socket://127.0.0.1:$dies_port"
"$app" modify -d dies -o rkvtps-document-formats=application/pdf > /dev/null
submit dies noise.pwg image/pwg-raster
wait_end dies
[ "$state" = aborted ] || fail "a device that died: the job is $state, not aborted"
case "$message" in *"Printing stopped"*) ;; *) fail "a device that died: the message is \"$message\"" ;; esac
submit pdf gray8.pwg image/pwg-raster
wait_end pdf
[ "$state" = completed ] || fail "after a device died, a job on another printer: $state ($message)"

grep -q "Raster pages go to the device as" "$tree/log/app.log" ||
  fail "the log does not say which language raster pages went out in"
app_env_finish "raster jobs"
