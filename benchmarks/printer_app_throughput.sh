#!/usr/bin/env bash
# rkvtps-printer-app streaming a large job from its spool file to a device
# on loopback, against cat of the same file into the same listener, and the
# application's peak resident memory: figures only, never a verdict.
#   benchmarks/printer_app_throughput.sh BUILD_DIR [MiB]
# Root: the application runs in namespaces of its own, as in its test.
set -euo pipefail
here=$(cd "$(dirname "$0")/../tests/printer-app" && pwd)
build=$(cd "$1" && pwd)
size_mib=${2:-1024}
# shellcheck source=../tests/support/printer_app_env.sh
source "$here/../support/printer_app_env.sh"
bench_env_enter "printer application" "$build" "$0" "$size_mib"
# The document outside the tmpfs: with the spooled copy it would take twice
# its size of memory.
document=$(mktemp "${TMPDIR:-/tmp}/rkvtps-app-throughput.XXXXXX")
env_cleanups+=("rm -f $document")
head -c $((size_mib * 1048576)) /dev/urandom > "$document"

device_port=$(free_port)
start_sink "$device_port"
port=$(free_port)
start_app "$port" log-level=info
add_printer bench "socket://127.0.0.1:$device_port"
sleep 1

start=$(date +%s%N)
cat "$document" > "/dev/tcp/127.0.0.1/$device_port"
cat_ms=$((($(date +%s%N) - start) / 1000000))

"$app" submit -d bench -o document-format=application/octet-stream "$document" > /dev/null
for _ in $(seq 600); do
  grep -q "Completed\|Aborted" "$tree/log/app.log" && break
  sleep 0.5
done
# The job's own time on the device side, from PAPPL's log: it starts once
# the upload to the spool is done.
stamp() { grep "\[Job 1\] $1" "$tree/log/app.log" | head -n 1 | sed 's/.*T\([0-9:.]*\)Z.*/\1/'; }
to_ms() { awk -F: '{ printf "%d", ($1 * 3600 + $2 * 60 + $3) * 1000 }' <<< "$1"; }
job_ms=$(($(to_ms "$(stamp Completed)") - $(to_ms "$(stamp 'Starting print job')")))
peak_kib=$(awk '/VmHWM/ { print $2 }' "/proc/$app_pid/status")
echo "printer application: $size_mib MiB job, spool file to a device on loopback"
echo "  cat into the listener: $cat_ms ms; the application: $job_ms ms" \
  "($(awk -v c="$cat_ms" -v a="$job_ms" 'BEGIN { printf "%.2f", (a > 0 ? c / a : 0) }')x cat's pace)"
echo "  the application's peak resident memory: $((peak_kib / 1024)) MiB"
