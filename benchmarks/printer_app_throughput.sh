#!/usr/bin/env bash
# rkvtps-printer-app streaming a large job from its spool file to a device
# on loopback, against cat of the same file into the same listener, and the
# application's peak resident memory: figures only, never a verdict.
#   benchmarks/printer_app_throughput.sh BUILD_DIR [MiB]
# Root: the application runs in namespaces of its own, as in its test.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
size_mib=${2:-1024}
app=$build/bin/rkvtps-printer-app
[ -x "$app" ] || { echo "printer application: not built, not measured"; exit 0; }
[ "$(id -u)" = 0 ] || { echo "printer application: not measured (needs root for namespaces)"; exit 0; }
if [ -z "${RK_APP_NAMESPACE:-}" ]; then
  RK_APP_NAMESPACE=1 exec unshare --net --mount --pid --fork --mount-proc --kill-child "$0" "$@"
fi
ip link set lo up
for folder in /run /var/lib /var/spool; do mount -t tmpfs tmpfs "$folder"; done
dir=$(mktemp -d "${TMPDIR:-/tmp}/rkvtps-app-throughput.XXXXXX")
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2> /dev/null || true; done; wait; rm -rf "$dir"' EXIT
mkdir -p "$dir/device" "$dir/spool"
head -c $((size_mib * 1048576)) /dev/urandom > "$dir/document"

# A device that counts and drops what it gets.
cat > "$dir/sink.py" << 'EOF'
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
EOF
python3 "$dir/sink.py" 9109 &
pids+=($!)
"$app" server -o server-port=8632 -o log-level=info -o log-file="$dir/app.log" \
  -o spool-directory="$dir/spool" &
app_pid=$!
pids+=($app_pid)
for _ in $(seq 100); do [ -S /run/rkvtps-printer-app.sock ] && break; sleep 0.1; done
"$app" add -d bench -v socket://127.0.0.1:9109 -m rkvtps_generic > /dev/null
sleep 1

start=$(date +%s%N)
cat "$dir/document" > /dev/tcp/127.0.0.1/9109
cat_ms=$((($(date +%s%N) - start) / 1000000))

"$app" submit -d bench -o document-format=application/octet-stream "$dir/document" > /dev/null
for _ in $(seq 600); do
  grep -q "Completed\|Aborted" "$dir/app.log" && break
  sleep 0.5
done
# The job's own time on the device side, from PAPPL's log: it starts once
# the upload to the spool is done.
stamp() { grep "\[Job 1\] $1" "$dir/app.log" | head -n 1 | sed 's/.*T\([0-9:.]*\)Z.*/\1/'; }
to_ms() { awk -F: '{ printf "%d", ($1 * 3600 + $2 * 60 + $3) * 1000 }' <<< "$1"; }
job_ms=$(($(to_ms "$(stamp Completed)") - $(to_ms "$(stamp 'Starting print job')")))
peak_kib=$(awk '/VmHWM/ { print $2 }' "/proc/$app_pid/status")
echo "printer application: $size_mib MiB job, spool file to a device on loopback"
echo "  cat into the listener: $cat_ms ms; the application: $job_ms ms" \
  "($(awk -v c="$cat_ms" -v a="$job_ms" 'BEGIN { printf "%.2f", (a > 0 ? c / a : 0) }')x cat's pace)"
echo "  the application's peak resident memory: $((peak_kib / 1024)) MiB"
