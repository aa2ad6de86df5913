#!/usr/bin/env bash
# How long rkvtps-printer-app takes to stop on SIGTERM: idle, with its
# device down and three jobs queued, and while a job is being written to a
# slow device (the wait for it is bounded): figures only, never a verdict.
#   benchmarks/printer_app_shutdown.sh BUILD_DIR
# Root: the application runs in namespaces of its own, as in its tests.
set -euo pipefail
here=$(cd "$(dirname "$0")/../tests/printer-app" && pwd)
# shellcheck source=../tests/support/printer_app_env.sh
source "$here/../support/printer_app_env.sh"
bench_env_enter "printer application shutdown" "$1" "$(cd "$(dirname "$0")" && pwd)/$(basename "$0")"

cat > "$tree/job.test" << 'EOF'
{
  OPERATION Print-Job
  GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8
  ATTR naturalLanguage attributes-natural-language en
  ATTR uri printer-uri $uri
  ATTR name requesting-user-name bench
  ATTR mimeMediaType document-format application/octet-stream
  FILE $filename
  STATUS successful-ok
}
EOF
head -c 100000 /dev/urandom > "$tree/docs/small"
head -c 20000000 /dev/urandom > "$tree/docs/large"

# report_stop WHAT: SIGTERM to the server; prints the milliseconds until it
# is gone (KILL after 120 s or more) and its exit status.
report_stop() {
  local started status=0
  started=$(date +%s%N)
  kill -TERM "$app_pid"
  for _ in $(seq 2400); do
    [ "$(ps -o stat= -p "$app_pid" 2> /dev/null | cut -c1)" = Z ] && break
    kill -0 "$app_pid" 2> /dev/null || break
    sleep 0.05
  done
  kill -KILL "$app_pid" 2> /dev/null || true
  wait "$app_pid" 2> /dev/null || status=$?
  echo "SIGTERM, $1: $((($(date +%s%N) - started) / 1000000)) ms (exit status $status)"
}

port=$(free_port)
down_port=$(free_port)
slow_port=$(free_port)
start_device "$slow_port" "$tree/slow" -1 0.05
start_app "$port"
add_printer down "socket://127.0.0.1:$down_port"
add_printer slow "socket://127.0.0.1:$slow_port"
report_stop idle

start_app "$port"
for _ in 1 2 3; do
  ipptool -T 10 -t -f "$tree/docs/small" "ipp://127.0.0.1:$port/ipp/print/down" "$tree/job.test" > /dev/null
done
sleep 1
report_stop "device down, 3 jobs queued"

start_app "$port"
ipptool -T 10 -t -f "$tree/docs/large" "ipp://127.0.0.1:$port/ipp/print/slow" "$tree/job.test" > /dev/null
sleep 1
report_stop "a job being written to a slow device"
