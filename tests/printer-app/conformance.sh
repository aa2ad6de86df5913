#!/usr/bin/env bash
# IPP conformance of the application's printers, with Debian's own ipptool
# test files (cups-ipp-utils): ipp-1.1.test and ipp-2.0.test must pass
# whole, and every group of ipp-everywhere.test must pass, against a
# printer whose device takes PDF and one whose device takes PostScript.
# ipp-everywhere.test prints PWG raster samples it expects beside it (Debian
# ships none): they are made here with Ghostscript's pwgraster device, at
# both resolutions the printers offer, in the types they list; every job the
# files send must complete. What the test leaves out is said, with the
# reason, at the end (the README's "IPP conformance").
#
# Usage: conformance.sh BUILD_DIR
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../support/printer_app_env.sh
source "$here/../support/printer_app_env.sh"
app_env_enter "$1" "$0"
suites=/usr/share/cups/ipptool
for suite in ipp-1.1.test ipp-2.0.test ipp-everywhere.test; do
  [ -r "$suites/$suite" ] || app_env_skip "$suites/$suite is missing (cups-ipp-utils)"
done

# ---- ipp-everywhere.test and the samples it prints ---------------------------
# The copy run here lacks the two expectations of overrides-supported
# ("document-number", "pages"): the application passes documents whole and
# cannot apply other options to some pages; claiming it would be a lie.
# Every other expectation of that group is kept.
grep -v "EXPECT overrides-supported" "$suites/ipp-everywhere.test" > "$tree/ipp-everywhere.test"
removed=$(($(wc -l < "$suites/ipp-everywhere.test") - $(wc -l < "$tree/ipp-everywhere.test")))
[ "$removed" -eq 2 ] || fail "ipp-everywhere.test has $removed expectations of overrides-supported, not 2"
echo "ipp-everywhere.test|PWG 5100.14 section 5.1/5.2 - Required Operations and Attributes|its two expectations of overrides-supported are left out: documents pass whole, no option applies to some pages only" \
  > "$tree/log/left-out.txt"
# ipptool reads every FILE of the test file before it runs any group, the
# groups it will skip too (a resolution or a raster type the printer does
# not list): each sample exists, empty unless a group sends it.
sed -nE 's/^\s*FILE\s+(\S+).*/\1/p' "$tree/ipp-everywhere.test" | sort -u | while read -r sample; do
  mkdir -p "$tree/$(dirname "$sample")"
  : > "$tree/$sample"
done
make_samples() {
  local resolution=$1 type=$2 space=$3 bits=$4 folder
  folder=$tree/pwg-raster-samples-${resolution}dpi/$type
  mkdir -p "$folder"
  local name pages
  for name in color.jpg-4x6 gray.jpg-4x6 document-a4 document-letter onepage-a4 onepage-letter; do
    case $name in
      *4x6) pages="-dDEVICEWIDTHPOINTS=288 -dDEVICEHEIGHTPOINTS=432" ;;
      *a4) pages="-sPAPERSIZE=a4" ;;
      *) pages="-sPAPERSIZE=letter" ;;
    esac
    local last=1
    case $name in document-*) last=3 ;; esac
    # shellcheck disable=SC2086 # $pages holds several options
    gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pwgraster -r"$resolution" $pages -dFIXEDMEDIA \
      -dcupsColorSpace="$space" -dcupsBitsPerColor="$bits" -dLastPage="$last" \
      -sOutputFile="$folder/$name-$type-${resolution}dpi.pwg" "$tree/sample.ps" \
      > "$tree/log/gs.log" 2>&1
  done
}
if command -v gs > /dev/null; then
  # Three pages of shapes, text and a gradient: what a client renders.
  cat > "$tree/sample.ps" << 'EOF2'
%!PS
/page { /n exch def
  clippath pathbbox /h exch def /w exch def pop pop
  0.2 setlinewidth 0 0 1 setrgbcolor
  20 20 w 40 sub h 40 sub rectstroke
  1 0 0 setrgbcolor w 4 div h 2 div w 8 div 0 360 arc fill
  0 0.6 0 setrgbcolor w 2 div h 3 div w 4 div h 6 div rectfill
  0 setgray /Helvetica findfont 24 scalefont setfont 40 h 80 sub moveto
  (rkvtps conformance page ) show n 3 string cvs show
  0 1 99 { dup 100 div setgray w 100 div mul 40 w 100 div 20 rectfill } for
  showpage } def
1 page 2 page 3 page
EOF2
  for resolution in 300 600; do
    make_samples "$resolution" black-1 3 1
    make_samples "$resolution" sgray-8 18 8
    make_samples "$resolution" srgb-8 19 8
  done
else
  echo "NOTE: no Ghostscript: ipp-everywhere.test skips its print groups (no samples)"
fi

# ---- The printers -------------------------------------------------------------
port=$(free_port)
pdf_port=$(free_port)
ps_port=$(free_port)
start_device "$pdf_port" "$tree/pdf-device"
start_device "$ps_port" "$tree/ps-device"
start_app "$port"
add_printer pdf "socket://127.0.0.1:$pdf_port"
"$app" modify -d pdf -o rkvtps-document-formats=application/pdf -o rkvtps-device-color=color \
  -o rkvtps-device-sides=two-sided > /dev/null
add_printer ps "socket://127.0.0.1:$ps_port"
"$app" modify -d ps -o rkvtps-document-formats=application/postscript > /dev/null

ipp_test formats Get-Printer-Attributes << 'EOF2'
  ATTR keyword requested-attributes document-format-supported,color-supported
  STATUS successful-ok
}
EOF2
# The settings are applied within a second.
for printer in pdf ps; do
  for _ in $(seq 50); do
    ipptool -T 10 -tv "ipp://localhost:$port/ipp/print/$printer" "$tree/formats.test" \
      > "$tree/log/$printer.formats" 2>&1 || true
    grep -q "hp-PCL" "$tree/log/$printer.formats" || break
    sleep 0.2
  done
done
# The document the files print: the sample pages as PDF.
if command -v gs > /dev/null; then
  gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -sOutputFile="$tree/docs/doc.pdf" \
    "$tree/sample.ps" > "$tree/log/gs.log" 2>&1
else
  printf '%%PDF-1.4\n%% rkvtps test\n1 0 obj << >> endobj\ntrailer << >>\n%%%%EOF\n' \
    > "$tree/docs/doc.pdf"
fi

declare -A repeats
for printer in pdf ps; do
  # From the non-loopback address: PAPPL lists its ipps URI only to clients
  # that are not on loopback, and ipp-1.1.test counts the URIs against the
  # security schemes.
  uri="ipp://192.0.2.20:$port/ipp/print/$printer"
  for suite in ipp-1.1.test ipp-2.0.test ipp-everywhere.test; do
    folder=$suites
    [ "$suite" = ipp-everywhere.test ] && folder=$tree
    out=$tree/log/$printer-$suite.out
    (cd "$folder" && timeout 600 ipptool -T 30 -I -t -f "$tree/docs/doc.pdf" "$uri" "$suite") \
      > "$out" 2>&1 || true
    passed=0
    skipped=0
    while IFS= read -r line; do
      group=$(sed -E 's/^ +//; s/ +\[[A-Z]+\]$//' <<< "$line")
      case $line in
        *"[PASS]") passed=$((passed + 1)) ;;
        *"[SKIP]") skipped=$((skipped + 1)) ;;
        *"[FAIL]")
          fail "$printer: $suite: $group"
          grep -A12 -F "$group" "$out" | grep -E "EXPECTED|GOT|status-code|FAIL" | head -n 12 >&2 || true
          ;;
      esac
    done < <(grep -E '\[(PASS|FAIL|SKIP)\]$' "$out" || true)
    # A raster job is read from the client as it prints: a second one while
    # the printer is busy is answered server-error-busy, and the file sends
    # it again ("[0001]"). PAPPL ends the job it made for the refused
    # request as aborted.
    repeats[$printer]=$((${repeats[$printer]:-0} + $(grep -cE '\[[0-9]{4}\]$' "$out" || true)))
    [ "$passed" -gt 0 ] || fail "$printer: $suite: no group passed (ipptool said: $(tail -n 3 "$out"))"
    echo "$printer: $suite: $passed groups passed, $skipped skipped"
  done
done
# ---- What became of the jobs the files sent ----------------------------------
# The files check that each job is accepted; the device must get it too:
# every job the files send completes (PDF, and PWG raster at both
# resolutions, plain, deflate and gzip, to a PDF and a PostScript device),
# unless the file itself cancels it.
ipp_test jobs Get-Jobs << 'EOF2'
  ATTR keyword which-jobs $which
  ATTR keyword requested-attributes job-id,job-state,job-name,job-state-message
  STATUS successful-ok
  DISPLAY job-id
  DISPLAY job-state
  DISPLAY job-name
  DISPLAY job-state-message
}
EOF2
for printer in pdf ps; do
  uri="ipp://localhost:$port/ipp/print/$printer"
  for _ in $(seq 240); do
    ipptool -T 10 -c -d which=not-completed "$uri" "$tree/jobs.test" > "$tree/log/active.csv" 2>&1 || true
    [ "$(grep -cE '^[0-9]+,' "$tree/log/active.csv" || true)" -eq 0 ] && break
    sleep 0.5
  done
  ipptool -T 10 -c -d which=completed "$uri" "$tree/jobs.test" > "$tree/log/$printer-jobs.csv" 2>&1 || true
  completed=0
  canceled=0
  busy=0
  while IFS=, read -r id state name message; do
    [[ $id =~ ^[0-9]+$ ]] || continue
    case $state in
      completed) completed=$((completed + 1)); continue ;;
      # The files cancel some of their jobs (Cancel-Job, Cancel-My-Jobs).
      canceled) canceled=$((canceled + 1)); continue ;;
      aborted)
        if [ "$message" = 'Job aborted.' ] && [ "$busy" -lt "${repeats[$printer]}" ]; then
          busy=$((busy + 1))
          continue
        fi
        ;;
    esac
    fail "$printer: job $id (${name//\"/}) ended $state: $message"
  done < "$tree/log/$printer-jobs.csv"
  echo "$printer: $completed jobs completed, $canceled cancelled by the files, $busy refused as busy and sent again"
done
echo "Left out, and why:"
sed 's/^/  /; s/|/: /g' "$tree/log/left-out.txt"

app_env_finish "IPP conformance"
