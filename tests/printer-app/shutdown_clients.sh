#!/usr/bin/env bash
# SIGTERM while clients are being answered: the server must finish with
# its client connections before it frees the printers they read. Each
# round starts the server, puts busy, idle and event-waiting clients on it
# (ipp_clients.py), sends SIGTERM and checks that the server exited 0
# (no signal death, no heap corruption reported by the C library) and
# ended every client connection itself before it stopped.
#
# The C library is asked to fill freed memory with a pattern (and to keep
# no per-thread cache of freed blocks, which it does not fill): a thread
# that reads a printer after it was freed then follows a bad pointer and
# dies, where it would often read stale data and get away with it.
#
# Usage: shutdown_clients.sh BUILD_DIR [ROUNDS]
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../support/printer_app_env.sh
source "$here/../support/printer_app_env.sh"
app_env_enter "$1" "$0" "${2:-}"
rounds=${2:-20}

port=$(free_port)
device_port=$(free_port)
start_sink "$device_port"
export GLIBC_TUNABLES=glibc.malloc.tcache_count=0:glibc.malloc.perturb=165

# A job in the printer's history, so that Get-Jobs and Get-Job-Attributes
# have one to read.
start_app "$port"
add_printer busy "socket://127.0.0.1:$device_port"
printf 'a job\n' > "$tree/docs/job.txt"
print_job_test someone
ipptool -T 30 -t -d filetype=application/octet-stream -f "$tree/docs/job.txt" "$(uri busy)" \
  "$tree/job.test" > "$tree/log/job.out" 2>&1 || fail "the first job was not taken: $(cat "$tree/log/job.out")"
state=$(wait_job_end busy 1)
case "$state" in completed | aborted | canceled) ;; *) fail "the first job did not end: $state" ;; esac
kill -TERM "$app_pid"
wait "$app_pid" || fail "the server did not stop cleanly before the rounds"

# stop_round ROUND: SIGTERM once the clients are being answered; the
# server's exit status in $status.
stop_round() {
  local ready=$tree/ready-$1 clients
  status=0
  python3 "$here/ipp_clients.py" "$port" busy "$ready" 2> "$tree/log/clients-$1.err" &
  clients=$!
  pids+=("$clients")
  for _ in $(seq 600); do
    [ -e "$ready" ] && break
    sleep 0.1
  done
  [ -e "$ready" ] || fail "round $1: the clients got no answers: $(cat "$tree/log/clients-$1.err")"
  kill -TERM "$app_pid"
  wait "$app_pid" 2> /dev/null || status=$?
  kill "$clients" 2> /dev/null || true
  wait "$clients" 2> /dev/null || true
}

# The server's standard error goes to a file of the round's; should the
# test stop while it starts (start_app exits), that file is shown.
round_stderr=
stop_all_showing_stderr() {
  local exit_status=$?
  [ "$exit_status" = 0 ] || [ -z "$round_stderr" ] || cat "$round_stderr" >&2
  env_stop_all
}
trap stop_all_showing_stderr EXIT

signal_deaths=0
for round in $(seq "$rounds"); do
  # A log of the round's own, at a level that keeps it small: the server
  # starts a new file (and drops the old) once one grows past its limit.
  round_log=$tree/log/app-$round.log
  round_stderr=$tree/log/stderr-$round
  start_app "$port" log-file="$round_log" log-level=info 2> "$round_stderr"
  stop_round "$round"
  if [ "$status" -gt 128 ]; then
    fail "round $round: the server died of signal $((status - 128))"
    signal_deaths=$((signal_deaths + 1))
  elif [ "$status" != 0 ]; then
    fail "round $round: the server exited $status"
  fi
  if grep -q -i "corrupted\|double free\|malloc()\|free()" "$round_stderr"; then
    fail "round $round: the C library reports heap damage: $(head -c 300 "$round_stderr")"
  fi
  # Every connection the server accepted, it closed before it stopped.
  accepted=$(grep -c "Accepted connection from" "$round_log" || true)
  closed=$(grep -c "Closing connection from" "$round_log" || true)
  [ "$accepted" = "$closed" ] ||
    fail "round $round: $accepted connections accepted, $closed closed before the server stopped"
  grep -q "Shutting down system" "$round_log" || fail "round $round: no orderly shutdown in the log"
done
round_stderr=
echo "$rounds rounds of SIGTERM under load: $signal_deaths deaths by a signal"

app_env_finish "shutdown with clients"
