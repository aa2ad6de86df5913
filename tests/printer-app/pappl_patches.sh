#!/usr/bin/env bash
# What the project's PAPPL patches mend, end to end through the application:
#  - concurrent jobs: ten at once (half from a remote address), each
#    document reaches the device exactly once, each on a connection of its
#    own, after its own commands naming its own owner;
#  - the languages of the application's strings files: once in each answer;
#  - SIGTERM with a device that is down and three jobs queued: the server
#    stops promptly (the time is reported, only a generous bound fails),
#    and after a restart with the device up each job prints once, in the
#    order submitted, without a new job to wake the queue.
#
# Usage: pappl_patches.sh BUILD_DIR
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../support/printer_app_env.sh
source "$here/../support/printer_app_env.sh"
app_env_enter "$1" "$0"

# start_listening_device PORT DIR: a capturing device, once it listens (a
# job sent before would find the device down and wait 5 s to retry).
start_listening_device() {
  start_device "$1" "$2"
  wait_listening "$1"
}

port=$(free_port)
device_port=$(free_port)
down_port=$(free_port)
start_listening_device "$device_port" "$tree/device"
start_app "$port"
add_printer conc "socket://127.0.0.1:$device_port"
add_printer down "socket://127.0.0.1:$down_port"

cat > "$tree/job.test" << 'EOF'
{
  NAME "Print-Job"
  OPERATION Print-Job
  GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8
  ATTR naturalLanguage attributes-natural-language en
  ATTR uri printer-uri $uri
  ATTR name requesting-user-name $owner
  ATTR mimeMediaType document-format application/octet-stream
  FILE $filename
  STATUS successful-ok
}
EOF

# make_doc NAME: a document that names itself on its first line, then
# enough random bytes to keep the device busy for a while.
make_doc() {
  { printf 'document %s\n' "$1"; head -c 200000 /dev/urandom; } > "$tree/docs/$1"
}

# send_job HOST PRINTER OWNER DOC: Print-Job through HOST (127.0.0.1 or
# the remote address).
send_job() {
  ipptool -T 30 -t -d owner="$3" -f "$tree/docs/$4" "ipp://$1:$port/ipp/print/$2" "$tree/job.test" \
    > "$tree/log/ipptool-$4.out" 2>&1
}

# wait_captures DIR COUNT: until COUNT connections are complete (or 60 s),
# then two more seconds for any the device should not get.
wait_captures() {
  for _ in $(seq 300); do
    [ "$(find "$1" -name 'conn-*' ! -name '*.part' | wc -l)" -ge "$2" ] && break
    sleep 0.2
  done
  sleep 2
}

# check_captures DIR DOC...: each DOC arrived exactly once, alone on its
# connection, after commands that decode and name its owner (the DOC name).
check_captures() {
  local dir=$1 doc size total found header
  shift
  for doc in "$@"; do
    found=$(grep -l -a -F "document $doc" "$dir"/conn-* 2> /dev/null || true)
    case $(printf '%s' "$found" | grep -c .) in
      0) fail "$doc never reached the device"; continue ;;
      1) ;;
      *) fail "$doc reached the device on $(echo "$found" | wc -l) connections"; continue ;;
    esac
    [ "$(grep -a -c -F "document $doc" "$found")" = 1 ] || fail "$doc arrived more than once on one connection"
    size=$(stat -c %s "$tree/docs/$doc")
    total=$(stat -c %s "$found")
    [ "$total" -gt "$size" ] || { fail "$doc: no commands before it"; continue; }
    tail -c "$size" "$found" | cmp -s - "$tree/docs/$doc" ||
      fail "$doc is not the whole of what follows the commands on its connection (other bytes after it)"
    header=$tree/log/$doc.header
    head -c $((total - size)) "$found" > "$header"
    if "$tool" decode --strict --file "$header" > "$header.decoded" 2>&1; then
      grep -q "owner \"$doc\"" "$header.decoded" || fail "$doc went out under another owner"
    else
      fail "$doc: what precedes it is not one job's commands (another job's bytes?)"
    fi
  done
  local conns
  conns=$(find "$dir" -name 'conn-*' ! -name '*.part' | wc -l)
  [ "$conns" -eq $# ] || fail "$# jobs came on $conns connections"
}

# ---- Ten jobs at once, half of them from a remote address ----------------
docs=()
# Names of equal length: none is the start of another.
for index in $(seq -w 10); do
  docs+=("user$index")
  make_doc "user$index"
done
senders=()
for index in $(seq -w 10); do
  host=127.0.0.1
  [ $((10#$index % 2)) = 0 ] && host=192.0.2.20
  send_job "$host" conc "user$index" "user$index" &
  senders+=($!)
done
refused=0
for pid in "${senders[@]}"; do wait "$pid" || refused=$((refused + 1)); done
[ "$refused" = 0 ] || fail "$refused of 10 concurrent jobs were refused"
wait_captures "$tree/device" 10
check_captures "$tree/device" "${docs[@]}"
aborted=$(grep -c "Aborted, job-impressions-completed" "$tree/log/app.log" || true)
[ "$aborted" = 0 ] || fail "$aborted concurrent jobs were aborted"
echo "concurrent jobs: $(find "$tree/device" -name 'conn-*' ! -name '*.part' | wc -l) connections for 10 jobs"

# ---- The languages of the strings files, once in each answer -------------
# The application adds strings files; each Get-Printer-Attributes used to
# add another copy of the attribute to the printer's own.
cat > "$tree/languages.test" << 'EOF'
{
  NAME "Get-Printer-Attributes"
  OPERATION Get-Printer-Attributes
  GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8
  ATTR naturalLanguage attributes-natural-language en
  ATTR uri printer-uri $uri
  ATTR keyword requested-attributes printer-strings-languages-supported
  STATUS successful-ok
}
EOF
for round in 1 2 3; do
  ipptool -T 10 -tv "ipp://127.0.0.1:$port/ipp/print/conc" "$tree/languages.test" \
    > "$tree/log/languages-$round.out" 2>&1 || true
done
copies=$(grep -c "printer-strings-languages-supported (" "$tree/log/languages-3.out" || true)
[ "$copies" = 1 ] || fail "the third answer holds printer-strings-languages-supported $copies times"
grep -qE "printer-strings-languages-supported \(.*\) = (de,en|en,de)$" "$tree/log/languages-3.out" ||
  fail "printer-strings-languages-supported does not list en,de"

# ---- SIGTERM with three jobs queued for a device that is down -----------
for name in queued1 queued2 queued3; do
  make_doc "$name"
  send_job 127.0.0.1 down "$name" "$name" || fail "$name was refused"
done
# The first job is then waiting for its device.
for _ in $(seq 50); do
  grep -q "Unable to open device 'socket://127.0.0.1:$down_port'" "$tree/log/app.log" && break
  sleep 0.2
done
started=$(date +%s%N)
kill -TERM "$app_pid"
for _ in $(seq 300); do
  kill -0 "$app_pid" 2> /dev/null || break
  sleep 0.1
done
stopped_ms=$((($(date +%s%N) - started) / 1000000))
if kill -0 "$app_pid" 2> /dev/null; then
  fail "the server still runs 30 s after SIGTERM"
  kill -KILL "$app_pid" 2> /dev/null || true
fi
wait "$app_pid" 2> /dev/null || true
echo "SIGTERM with a device down and 3 jobs queued: stopped in $stopped_ms ms"

start_listening_device "$down_port" "$tree/late"
start_app "$port"
# No new job: the queued ones must print on their own.
wait_captures "$tree/late" 3
check_captures "$tree/late" queued1 queued2 queued3
# In the order they were submitted: the oldest waited longest.
for index in 1 2 3; do
  grep -aq "^document queued$index\$" "$tree/late/conn-$index" ||
    fail "after the restart connection $index does not carry queued$index (jobs out of order)"
done

app_env_finish "PAPPL patches (concurrent jobs, SIGTERM and restart)"
