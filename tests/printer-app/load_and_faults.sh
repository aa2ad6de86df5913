#!/usr/bin/env bash
# rkvtps-printer-app under load and faults: ten clients at once (half of
# them remote), then a long run of jobs one after the other; a device that
# dies mid-job; the server stopped with jobs queued for a device that is
# down, then started again. Whatever happens, every job reaches its device
# once, whole, alone on its connection, right after the commands naming
# its own user and client.
#
# Usage: load_and_faults.sh BUILD_DIR
#
# Namespaces of its own, as printer_app.sh; time never decides the verdict
# (benchmarks/printer_app_load.sh measures), except a stop that takes more
# than 30 seconds, which is a hang.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../support/printer_app_env.sh
source "$here/../support/printer_app_env.sh"
app_env_enter "$1" "$0"
# shellcheck source=../support/printer_app_load.sh
source "$here/../support/printer_app_load.sh"

clients=10 jobs_per_client=5 run_jobs=500
port=$(free_port)
load_port=$(free_port)
run_port=$(free_port)
slow_port=$(free_port)
down_port=$(free_port)
start_device "$load_port" "$tree/load"
start_device "$run_port" "$tree/run"
jam_bytes=65536
start_device "$slow_port" "$tree/slow" "$jam_bytes" hold
slow_pid=${pids[-1]}
for device_port in "$load_port" "$run_port" "$slow_port"; do wait_listening "$device_port"; done
start_app "$port"
add_printer load "socket://127.0.0.1:$load_port"
add_printer run "socket://127.0.0.1:$run_port"
add_printer slow "socket://127.0.0.1:$slow_port"
add_printer down "socket://127.0.0.1:$down_port"

# check_device WHAT DIR MANIFEST: each connection in DIR against the jobs
# in MANIFEST (see check_connections.py).
check_device() {
  local problem
  while IFS= read -r problem; do
    fail "$1: $problem"
  done < <(python3 "$here/check_connections.py" "$tool" "$2" "$tree/docs" "$3" 2> "$tree/log/$1.summary")
  echo "$1: $(cat "$tree/log/$1.summary")"
}

# check_server WHAT: the server still runs; one that died ends the test
# here, as everything after needs it.
check_server() {
  local status=0
  load_app_alive && return 0
  wait "$app_pid" || status=$?
  fail "$1: the server died (exit status $status)"
  app_env_finish "printer application under load and faults"
}

# The states of PRINTER's jobs, "COUNT STATE" a line.
job_states() {
  "$app" jobs -d "$1" | awk '{ print $2 }' | sort | uniq -c | awk '{ print $1, $2 }'
}

# check_all_completed WHAT PRINTER COUNT: every job the printer lists
# completed, and at least COUNT of them listed (PAPPL drops all but the
# last hundred from its history a minute after they end).
check_all_completed() {
  local states listed
  states=$(job_states "$2")
  listed=$(echo "$states" | awk '{ n += $1 } END { print n + 0 }')
  if echo "$states" | grep -qv " completed$" || [ "$listed" -lt "$3" ]; then
    fail "$1: the printer lists $(echo "$states" | tr '\n' ' ')(expected $3 or more, all completed)"
  fi
}

# ---- Ten clients at once ------------------------------------------------------
load_manifest=$tree/load.manifest
load_prepare_clients "$clients" "$jobs_per_client"
refused=$(load_run_clients "$clients" "$port" load)
[ "$refused" = 0 ] || fail "load: $refused clients had a job refused"
load_wait_done load "$tree/load" "$load_port" 120 || fail "load: jobs not done after 120 seconds"
check_device load "$tree/load" "$load_manifest"
check_server load
check_all_completed load load $((clients * jobs_per_client))

# ---- A long run, one job after the other ------------------------------------
load_manifest=$tree/run.manifest
load_prepare_run "$run_jobs"
load_run_sequence "$port" run || fail "run: a job was refused"
load_wait_done run "$tree/run" "$run_port" 180 || fail "run: jobs not done after 180 seconds"
check_device run "$tree/run" "$load_manifest"
check_server run
check_all_completed run run 100

# ---- A device that dies mid-job -----------------------------------------------
# send_one ORIGIN PRINTER USER DOC SIZE: a job of its own document.
send_one() {
  load_make_doc "$4" "$5" "$3" "$1"
  load_job_test "$3" "$4" > "$tree/$4.test"
  ipptool -T 30 -t "$(load_printer_uri "$1" "$port" "$2")" "$tree/$4.test" \
    > "$tree/log/$4.out" 2>&1 || fail "$4: the job was refused"
}
# device_holds: the jammed device took its bytes, reads no more and no
# longer listens.
device_holds() {
  [ "$(stat -c %s "$tree/slow/conn-1.part" 2> /dev/null || echo 0)" -ge "$jam_bytes" ] &&
    ! listening "$slow_port"
}
# job_is PRINTER ID STATE
job_is() { [ "$(job_state "$1" "$2")" = "$3" ]; }

# The device jams after a few bytes: the job is still being sent, whatever
# the time the steps below take on a loaded machine, when the device dies.
# (A device that only read slowly took the whole job into the kernel's
# buffers within seconds: the job completed, the next one went into the
# dying listener's backlog and was lost with it.) The document is larger
# than the sender's largest socket buffer, so it cannot all fit.
load_manifest=$tree/slow.manifest
send_one local slow victim cut $(($(awk '{ print $3 }' /proc/sys/net/ipv4/tcp_wmem) + 4000000))
retry 150 0.2 device_holds || fail "dead device: the device never received the job"
# The next job, another user's, queued behind it while the device holds the
# first: it goes on a connection of its own, never after the dead one.
load_manifest=$tree/slow-again.manifest
send_one "$load_remote" slow survivor after-death 20000
job_is slow 1 processing || fail "dead device: the job cut short is $(job_state slow 1) before the device died"
job_is slow 2 pending || fail "dead device: the next job is $(job_state slow 2) before the device died"
# (The shell's own word on the killed listener is not the test's.)
{ kill -KILL "$slow_pid" && wait "$slow_pid"; } 2> /dev/null || true
start_device "$slow_port" "$tree/slow-again"
wait_listening "$slow_port"
state=$(wait_job_end slow 1)
[ "$state" = aborted ] || fail "dead device: the job cut short ended $state"
said=$(job_attributes slow 1)
grep -q "job-state-message.*Printing stopped" <<< "$said" ||
  fail "dead device: the aborted job does not say why: $(tr '\n' ' ' <<< "$said")"
state=$(wait_job_end slow 2)
[ "$state" = completed ] || fail "dead device: the next job ended $state"
load_wait_done slow "$tree/slow-again" "$slow_port" 30 || fail "dead device: a connection stays open"
check_device dead-device "$tree/slow-again" "$load_manifest"
check_server "dead device"

# ---- Stopped with jobs queued, started again ------------------------------------
# No device listens on down_port: the first job waits for it, the others
# queue behind it.
load_manifest=$tree/down.manifest
for index in 1 2 3 4; do
  origin=local
  [ $((index % 2)) = 1 ] || origin=$load_remote
  send_one "$origin" down "queued$index" "queued-$index" $((index * 1000))
done
for _ in $(seq 50); do
  [ -n "$("$app" jobs -d down | awk '$2 == "processing"')" ] && break
  sleep 0.2
done
processing=$("$app" jobs -d down | awk '$2 == "processing" { print $1 }')
[ -n "$processing" ] || fail "down device: no job was processing before the stop"

started=$(date +%s%N)
kill -TERM "$app_pid"
for _ in $(seq 600); do
  load_app_alive || break
  sleep 0.1
done
stop_ms=$((($(date +%s%N) - started) / 1000000))
if load_app_alive; then
  kill -KILL "$app_pid"
  fail "SIGTERM: the server was still running after 60 seconds"
fi
wait "$app_pid" 2> /dev/null || true
echo "SIGTERM with jobs queued: the server stopped in $stop_ms ms"
[ "$stop_ms" -le 30000 ] || fail "SIGTERM: the server took $stop_ms ms to stop"

start_device "$down_port" "$tree/down"
start_app "$port"
# No new job: the queued ones print by themselves.
load_wait_done down "$tree/down" "$down_port" 30 || fail "restart: queued jobs not done 30 seconds later"
check_device restart "$tree/down" "$load_manifest"
check_server restart
for job in $processing; do
  state=$("$app" jobs -d down | awk -v id="$job" '$1 == id { print $2 }')
  [ "$state" = completed ] || fail "restart: job $job, processing at the stop, is now ${state:-gone}"
done
check_all_completed restart down 4

app_env_finish "printer application under load and faults"
