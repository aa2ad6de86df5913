# The load the printer application's test and benchmark send: clients at
# once, each with jobs of its own, and a long run of jobs one after the
# other. Each document is unique and its first line names it, so a device
# connection says which job it carries; the file $load_manifest lists each
# document with the user that sent it and where from ("local" or the remote
# address). Needs $tree (see printer_app_env.sh) and ipptool.
# shellcheck shell=bash

# Few bytes to a megabyte: each client sends every size once.
load_sizes=(5 300 4096 70000 1000000)
load_remote=192.0.2.20

# load_make_doc NAME SIZE USER ORIGIN: $tree/docs/NAME, "RKLOAD NAME" then
# SIZE random bytes, and its line in the manifest.
load_make_doc() {
  mkdir -p "$tree/docs"
  { printf 'RKLOAD %s\n' "$1"; head -c "$2" /dev/urandom; } > "$tree/docs/$1"
  echo "$1 $3 $4" >> "${load_manifest:-$tree/manifest}"
}

# load_job_test USER DOC: one Print-Job request, as ipptool reads it.
load_job_test() {
  cat << EOF
{
  NAME "Print-Job $2"
  OPERATION Print-Job
  GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8
  ATTR naturalLanguage attributes-natural-language en
  ATTR uri printer-uri \$uri
  ATTR name requesting-user-name $1
  ATTR mimeMediaType document-format application/octet-stream
  FILE $tree/docs/$2
  STATUS successful-ok
  EXPECT job-id
}
EOF
}

# load_printer_uri ORIGIN PORT PRINTER: where a client from ORIGIN sends.
load_printer_uri() {
  local host=127.0.0.1
  [ "$1" = local ] || host=$1
  echo "ipp://$host:$2/ipp/print/$3"
}

# load_prepare_clients CLIENTS JOBS: a test file per client,
# $tree/client-N.test, its jobs' documents and their manifest lines. Every
# other client is remote; each has a user of its own.
load_prepare_clients() {
  local client job origin user doc
  for client in $(seq 0 $(($1 - 1))); do
    origin=local
    [ $((client % 2)) = 0 ] || origin=$load_remote
    user=client$client
    : > "$tree/client-$client.test"
    for job in $(seq "$2"); do
      doc=c$client-j$job
      load_make_doc "$doc" "${load_sizes[$(((client + job) % ${#load_sizes[@]}))]}" "$user" "$origin"
      load_job_test "$user" "$doc" >> "$tree/client-$client.test"
    done
    echo "$origin" > "$tree/client-$client.origin"
  done
}

# load_run_clients CLIENTS PORT PRINTER: every prepared client at once, each
# on its own connection; prints how many had a job refused.
load_run_clients() {
  local client client_pids=() refused=0
  for client in $(seq 0 $(($1 - 1))); do
    ipptool -T 60 -t "$(load_printer_uri "$(cat "$tree/client-$client.origin")" "$2" "$3")" \
      "$tree/client-$client.test" > "$tree/log/client-$client.out" 2>&1 &
    client_pids+=($!)
  done
  for client in "${client_pids[@]}"; do wait "$client" || refused=$((refused + 1)); done
  echo "$refused"
}

# load_prepare_run COUNT: $tree/run-local.test and $tree/run-remote.test,
# COUNT small jobs in all, half from each origin, five users taking turns.
load_prepare_run() {
  local index origin doc user
  : > "$tree/run-local.test"
  : > "$tree/run-remote.test"
  for index in $(seq "$1"); do
    origin=local
    [ "$index" -le $(($1 / 2)) ] || origin=$load_remote
    user=runner$((index % 5))
    doc=r$index
    load_make_doc "$doc" $((index * 37 % 500)) "$user" "$origin"
    load_job_test "$user" "$doc" >> "$tree/run-${origin/$load_remote/remote}.test"
  done
}

# load_run_sequence PORT PRINTER: the prepared run, one job after the other,
# the local half first; false if a job was refused.
load_run_sequence() {
  ipptool -T 60 -t "$(load_printer_uri local "$1" "$2")" "$tree/run-local.test" \
    > "$tree/log/run-local.out" 2>&1 &&
    ipptool -T 60 -t "$(load_printer_uri "$load_remote" "$1" "$2")" "$tree/run-remote.test" \
      > "$tree/log/run-remote.out" 2>&1
}

# load_active_jobs PRINTER: how many of its jobs are not yet done.
load_active_jobs() {
  "$app" jobs -d "$1" | awk '$2 == "pending" || $2 == "processing" || $2 == "held"' | wc -l
}

# load_device_idle DIR PORT: the device on PORT holds no connection, not
# even one waiting to be accepted, and has stored every one in DIR. A job
# can end while the device has yet to read it: the kernel took the bytes.
load_device_idle() {
  ! compgen -G "$1/*.part" > /dev/null &&
    [ -z "$(ss -Htn state established state close-wait "( sport = :$2 )")" ]
}

# load_app_alive: the server started last still runs. (Asked with no server,
# PAPPL's subcommands would start one of their own.)
load_app_alive() {
  case "$(ps -o stat= -p "$app_pid" 2> /dev/null || true)" in "" | Z*) return 1 ;; esac
}

# load_wait_done PRINTER DIR PORT SECONDS: waits until the printer has no
# job left to do and its device on PORT is idle; false if that took longer
# than SECONDS or the server died.
load_wait_done() {
  local deadline=$((SECONDS + $4))
  while [ "$SECONDS" -lt "$deadline" ]; do
    load_app_alive || return 1
    [ "$(load_active_jobs "$1")" = 0 ] && load_device_idle "$2" "$3" && return 0
    sleep 0.2
  done
  return 1
}
