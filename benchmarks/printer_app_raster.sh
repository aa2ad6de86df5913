#!/usr/bin/env bash
# rkvtps-printer-app writing 600-dpi colour PWG raster jobs (10 and 100
# pages) for a device that takes only PDF: time a page, from the job's
# start to its completion, and the application's peak resident memory
# after each job, which must not grow with the page count. Figures only,
# never a verdict.
#   benchmarks/printer_app_raster.sh BUILD_DIR
# Root: the application runs in namespaces of its own, as in its test.
set -euo pipefail
build=$(cd "$1" && pwd)
app=$build/bin/rkvtps-printer-app
[ -x "$app" ] || { echo "printer application raster: not built, not measured"; exit 0; }
[ "$(id -u)" = 0 ] || { echo "printer application raster: not measured (needs root for namespaces)"; exit 0; }
command -v gs > /dev/null || { echo "printer application raster: no Ghostscript to make the pages"; exit 0; }
if [ -z "${RK_APP_NAMESPACE:-}" ]; then
  RK_APP_NAMESPACE=1 exec unshare --net --mount --pid --fork --mount-proc --kill-child "$0" "$@"
fi
ip link set lo up
for folder in /run /var/lib /var/spool; do mount -t tmpfs tmpfs "$folder"; done
dir=$(mktemp -d "${TMPDIR:-/tmp}/rkvtps-app-raster.XXXXXX")
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2> /dev/null || true; done; wait; rm -rf "$dir"' EXIT
mkdir -p "$dir/spool"

# One page as a report would have (text, lines, colour fills), rendered
# once; a job of N pages repeats its page record N times after the
# stream's synchronisation word.
cat > "$dir/page.ps" << 'EOF'
%!PS
/Helvetica findfont 11 scalefont setfont
0.9 0.95 1 setrgbcolor 50 50 495 742 rectfill
1 0.3 0.2 setrgbcolor 400 60 120 90 rectfill 0 setgray
0 1 55 { /line exch def 60 770 line 12 mul sub moveto
  (The quick brown fox jumps over the lazy dog, line ) show line 10 string cvs show } for
0 20 400 { 60 add 60 moveto 300 300 rlineto stroke } for
showpage
EOF
space=19  # sRGB
gs -q -dSAFER -dBATCH -dNOPAUSE -sPAPERSIZE=a4 -r600 -sDEVICE=pwgraster -dcupsColorSpace=$space \
  -dcupsBitsPerColor=8 -sOutputFile="$dir/page.pwg" "$dir/page.ps"
make_job() {  # make_job PAGES OUT
  { printf 'RaS2'; for _ in $(seq "$1"); do tail -c +5 "$dir/page.pwg"; done; } > "$2"
}

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
python3 "$dir/sink.py" 9111 &
pids+=($!)

"$app" server -o server-port=8634 -o log-level=info -o log-file="$dir/app.log" \
  -o spool-directory="$dir/spool" &
app_pid=$!
pids+=($app_pid)
for _ in $(seq 100); do [ -S /run/rkvtps-printer-app.sock ] && break; sleep 0.1; done
"$app" add -d bench -v socket://127.0.0.1:9111 -m rkvtps_generic > /dev/null
"$app" modify -d bench -o rkvtps-document-formats=application/pdf > /dev/null
# Colour where the printer has a colour setting (a one-page job shows it);
# else the pages go grey.
"$app" modify -d bench -o rkvtps-device-color=true > /dev/null 2>&1 || true
sleep 1

stamp() { grep "\[Job $1\] $2" "$dir/app.log" | head -n 1 | sed 's/.*T\([0-9:.]*\)Z.*/\1/'; }
to_ms() { awk -F: '{ printf "%d", ($1 * 3600 + $2 * 60 + $3) * 1000 }' <<< "$1"; }
job=0
# run_job PAGES: sets $job_ms, or says why not and returns 1.
run_job() {
  job=$((job + 1))
  make_job "$1" "$dir/job.pwg"
  "$app" submit -d bench -o document-format=image/pwg-raster "$dir/job.pwg" > /dev/null
  for _ in $(seq 1200); do
    grep -q "\[Job $job\] \(Completed\|Aborted\)" "$dir/app.log" && break
    sleep 0.5
  done
  rm -f "$dir/job.pwg"
  grep -q "\[Job $job\] Completed" "$dir/app.log" || return 1
  job_ms=$(($(to_ms "$(stamp $job Completed)") - $(to_ms "$(stamp $job 'Starting print job')")))
}
if ! run_job 1; then
  space=18
  gs -q -dSAFER -dBATCH -dNOPAUSE -sPAPERSIZE=a4 -r600 -sDEVICE=pwgraster -dcupsColorSpace=$space \
    -dcupsBitsPerColor=8 -sOutputFile="$dir/page.pwg" "$dir/page.ps"
  echo "printer application raster: this printer takes no colour; 600-dpi grey pages instead"
fi
for pages in 10 100; do
  if ! run_job "$pages"; then
    echo "printer application raster: the $pages-page job did not complete"
    grep "\[Job $job\]" "$dir/app.log" | tail -n 5
    exit 0
  fi
  peak=$(awk '/^VmHWM/ { print $2 }' "/proc/$app_pid/status")
  echo "printer application raster: $pages pages of 600-dpi PWG raster (colour space $space," \
    "$(stat -c %s "$dir/page.pwg") bytes a page) to a PDF-only device:" \
    "$job_ms ms, $(awk -v t="$job_ms" -v p="$pages" 'BEGIN { printf "%.0f", t / p }') ms a page;" \
    "peak resident memory since start $((peak / 1024)) MiB"
done
