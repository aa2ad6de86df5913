#!/usr/bin/env bash
# rkvtps-printer-app converting a PDF for a device that takes only
# PostScript (Ghostscript's ps2write, started and limited by the
# application), timed from the job's start to its completion, against the
# same gs command writing to a file: figures only, never a verdict.
#   benchmarks/printer_app_convert.sh BUILD_DIR [PAGES]
# Root: the application runs in namespaces of its own, as in its test.
set -euo pipefail
build=$(cd "$1" && pwd)
pages=${2:-20}
app=$build/bin/rkvtps-printer-app
[ -x "$app" ] || { echo "printer application: not built, not measured"; exit 0; }
[ "$(id -u)" = 0 ] || { echo "printer application: not measured (needs root for namespaces)"; exit 0; }
command -v gs > /dev/null || { echo "printer application: no Ghostscript, conversion not measured"; exit 0; }
if [ -z "${RK_APP_NAMESPACE:-}" ]; then
  RK_APP_NAMESPACE=1 exec unshare --net --mount --pid --fork --mount-proc --kill-child "$0" "$@"
fi
ip link set lo up
for folder in /run /var/lib /var/spool; do mount -t tmpfs tmpfs "$folder"; done
dir=$(mktemp -d "${TMPDIR:-/tmp}/rkvtps-app-convert.XXXXXX")
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2> /dev/null || true; done; wait; rm -rf "$dir"' EXIT
mkdir -p "$dir/spool"

# PAGES pages of text, lines and a grey fill, as a report would have.
{
  echo '%!PS'
  echo '/Helvetica findfont 11 scalefont setfont'
  echo "1 1 $pages {"
  echo '  /page exch def'
  echo '  0.9 setgray 50 50 512 692 rectfill 0 setgray'
  echo '  0 1 55 { /line exch def 60 740 line 12 mul sub moveto'
  echo '    (Page ) show page 10 string cvs show'
  echo '    (: the quick brown fox jumps over the lazy dog, line ) show line 10 string cvs show } for'
  echo '  0 20 500 { 60 add 60 moveto 300 300 rlineto stroke } for'
  echo '  showpage'
  echo '} for'
} > "$dir/report.ps"
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -sOutputFile="$dir/report.pdf" "$dir/report.ps"

# A device that counts and drops what it gets.
cat > "$dir/sink.py" << 'EOF_PY'
import socket, sys
server = socket.socket()
server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
server.bind(("127.0.0.1", int(sys.argv[1])))
server.listen(4)
buffer = bytearray(1 << 20)
while True:
    connection, _ = server.accept()
    while connection.recv_into(buffer):
        pass
    connection.close()
EOF_PY
python3 "$dir/sink.py" 9110 &
pids+=($!)

# Ghostscript alone, as the application runs it, into a file.
start=$(date +%s%N)
gs -dSAFER -dBATCH -dNOPAUSE -dQUIET -sstdout=%stderr -sOutputFile="$dir/alone.ps" -r300 \
  -sDEVICE=ps2write -f "$dir/report.pdf"
gs_ms=$((($(date +%s%N) - start) / 1000000))

"$app" server -o server-port=8633 -o log-level=info -o log-file="$dir/app.log" \
  -o spool-directory="$dir/spool" &
app_pid=$!
pids+=($app_pid)
for _ in $(seq 100); do [ -S /run/rkvtps-printer-app.sock ] && break; sleep 0.1; done
"$app" add -d bench -v socket://127.0.0.1:9110 -m rkvtps_generic > /dev/null
"$app" modify -d bench -o rkvtps-document-formats=application/postscript > /dev/null
sleep 1
"$app" submit -d bench -o document-format=application/pdf "$dir/report.pdf" > /dev/null
for _ in $(seq 600); do
  grep -q "Completed\|Aborted" "$dir/app.log" && break
  sleep 0.5
done
stamp() { grep "\[Job 1\] $1" "$dir/app.log" | head -n 1 | sed 's/.*T\([0-9:.]*\)Z.*/\1/'; }
to_ms() { awk -F: '{ printf "%d", ($1 * 3600 + $2 * 60 + $3) * 1000 }' <<< "$1"; }
if ! grep -q "\[Job 1\] Completed" "$dir/app.log"; then
  echo "printer application: the conversion job did not complete"
  grep "\[Job 1\]" "$dir/app.log" | tail -n 5
  exit 0
fi
job_ms=$(($(to_ms "$(stamp Completed)") - $(to_ms "$(stamp 'Starting print job')")))
echo "printer application: a $pages-page PDF ($(stat -c %s "$dir/report.pdf") bytes) to a PostScript-only device"
echo "  gs alone into a file: $gs_ms ms ($(stat -c %s "$dir/alone.ps") bytes);" \
  "the application, job start to completion: $job_ms ms" \
  "($(awk -v g="$gs_ms" -v a="$job_ms" 'BEGIN { printf "%.2f", (a > 0 ? g / a : 0) }')x gs's pace)"
grep "\[Job 1\] converted to" "$dir/app.log" | sed 's/.*\] /  /'
