#!/usr/bin/env bash
# rkvtps-printer-app under the load of its test (tests/printer-app/
# load_and_faults.sh): ten clients at once with five jobs each, half of them
# remote, then 500 small jobs in a row; jobs per second for each, how the
# jobs ended, and the application's peak resident memory: figures only,
# never a verdict.
#   benchmarks/printer_app_load.sh BUILD_DIR
# Root: the application runs in namespaces of its own, as in its test.
set -euo pipefail
here=$(cd "$(dirname "$0")/../tests/printer-app" && pwd)
build=$(cd "$1" && pwd)
# shellcheck source=../tests/support/printer_app_env.sh
source "$here/../support/printer_app_env.sh"
bench_env_enter "printer application load" "$build" "$0"
# shellcheck source=../tests/support/printer_app_load.sh
source "$here/../support/printer_app_load.sh"

port=$(free_port)
load_port=$(free_port)
run_port=$(free_port)
start_device "$load_port" "$tree/load"
start_device "$run_port" "$tree/run"
start_app "$port" log-level=info
add_printer load "socket://127.0.0.1:$load_port"
add_printer run "socket://127.0.0.1:$run_port"

now_ms() { echo $(($(date +%s%N) / 1000000)); }
# report WHAT JOBS PRINTER DIR PORT STARTED: the pace from STARTED until
# the printer has nothing left to do and its device has read everything, and
# how its jobs ended.
report() {
  local done_within=600 ms states
  load_wait_done "$3" "$4" "$5" "$done_within" || echo "  $1: jobs still not done after $done_within s"
  ms=$(($(now_ms) - $6))
  states=$("$app" jobs -d "$3" | awk '{ print $2 }' | sort | uniq -c | awk '{ printf " %s %s", $1, $2 }')
  echo "  $1: $2 jobs in $ms ms, $(awk -v n="$2" -v ms="$ms" 'BEGIN { printf "%.1f", n * 1000 / ms }')" \
    "jobs/s; the printer lists:$states"
}

echo "printer application under load, jobs to raw-socket devices on loopback"
load_manifest=$tree/load.manifest
load_prepare_clients 10 5
started=$(now_ms)
refused=$(load_run_clients 10 "$port" load)
report "10 clients at once, 5 jobs each (5 B to 1 MB)" 50 load "$tree/load" "$load_port" "$started"
[ "$refused" = 0 ] || echo "  ($refused clients had a job refused)"

load_manifest=$tree/run.manifest
load_prepare_run 500
started=$(now_ms)
load_run_sequence "$port" run || echo "  (a job of the run was refused)"
report "500 jobs in a row (up to 500 B)" 500 run "$tree/run" "$run_port" "$started"

echo "  the application's peak resident memory: $(awk '/VmHWM/ { print $2 }' "/proc/$app_pid/status") KiB"
