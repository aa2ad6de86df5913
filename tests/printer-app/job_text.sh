#!/usr/bin/env bash
# rkvtps-printer-app as installed: what jobs say of themselves (their names,
# users and documents' names) is kept, listed and logged as one line of
# UTF-8 without control characters, and every job keeps its client across
# a restart.
#
# Usage: job_text.sh BUILD_DIR
#
# Runs in namespaces of its own like printer_app.sh; nothing outlives it.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../support/printer_app_env.sh
source "$here/../support/printer_app_env.sh"
app_env_enter "$1" "$0"

port=$(free_port)
device_port=$(free_port)
start_device "$device_port" "$tree/device"
start_app "$port"
add_printer cap "socket://127.0.0.1:$device_port"
printf '%%!PS-Adobe-3.0\nshowpage\n' > "$tree/docs/doc.ps"
doc_size=$(stat -c %s "$tree/docs/doc.ps")

uri() { echo "ipp://${2:-localhost}:$port/ipp/print/$1"; }

ipp_test job Print-Job << 'EOF_TEST'
  ATTR name requesting-user-name $owner
  ATTR name job-name $name
  ATTR name document-name $name
  ATTR mimeMediaType document-format application/postscript
  GROUP job-attributes-tag
  ATTR keyword job-hold-until $hold
  ATTR name job-originating-host-name $origin
  FILE $filename
  STATUS successful-ok
  STATUS successful-ok-ignored-or-substituted-attributes
  EXPECT job-id
}
EOF_TEST
ipp_test get-jobs Get-Jobs << 'EOF_TEST'
  ATTR keyword which-jobs all
  ATTR keyword requested-attributes job-id,job-name,job-originating-user-name,job-state
  STATUS successful-ok
  DISPLAY job-id
}
EOF_TEST
ipp_test release Release-Job << 'EOF_TEST'
  ATTR integer job-id $job
  ATTR name requesting-user-name $owner
  STATUS successful-ok
}
EOF_TEST

# send_job USER NAME [HOST [HOLD [ORIGIN]]]: a job from HOST (localhost or
# 192.0.2.20); its id in $job_id.
send_job() {
  ipptool -T 20 -tv -f "$tree/docs/doc.ps" -d owner="$1" -d name="$2" -d hold="${4:-no-hold}" \
    -d origin="${5-ignored.example}" "$(uri cap "${3:-localhost}")" "$tree/job.test" \
    > "$tree/log/send.out" 2>&1 || return 1
  job_id=$(sed -n 's/.*job-id (integer) = \([0-9]*\).*/\1/p' "$tree/log/send.out" | head -n 1)
  [ -n "$job_id" ]
}

# check_clean FILE WHAT: FILE is UTF-8 with no control character but the
# line feed (C0, DEL or C1).
check_clean() {
  python3 - "$1" << 'EOF_PY' > "$tree/log/clean.out" 2>&1 || { fail "$2: $(head -c 300 "$tree/log/clean.out")"; }
import sys
data = open(sys.argv[1], "rb").read()
try:
    text = data.decode("utf-8")
except UnicodeDecodeError as error:
    sys.exit(f"not UTF-8 at byte {error.start}: {data[max(0, error.start - 40):error.start + 8]!r}")
for at, c in enumerate(text):
    if (ord(c) < 0x20 and c != "\n") or 0x7F <= ord(c) <= 0x9F:
        sys.exit(f"control character U+{ord(c):04X}: {text[max(0, at - 40):at + 8]!r}")
EOF_PY
}

capture_count=0
# Sets $capture to the next connection's file, once the device has it, and
# decodes its commands into $capture.decoded.
next_capture() {
  capture_count=$((capture_count + 1))
  capture=$tree/device/conn-$capture_count
  for _ in $(seq 150); do
    [ -e "$capture" ] && break
    sleep 0.2
  done
  [ -e "$capture" ] || { fail "job $1 never reached the device"; return 1; }
  head -c $(($(stat -c %s "$capture") - doc_size)) "$capture" > "$capture.header"
  "$tool" decode --strict --file "$capture.header" > "$capture.decoded" 2>&1 ||
    { fail "$1: the commands do not decode strictly"; return 1; }
}

restart_app() {
  kill "$app_pid"
  wait "$app_pid" 2> /dev/null || true
  start_app "$port"
}

# ---- Hostile names and users: kept, listed and logged as one line each -----
long=$(printf 'n%.0s' $(seq 3000))
hostile=(
  $'title\x1b]0;owned\x07\x1b[2J'
  $'one\r\ntwo'
  $'line\nJob id="1" name="forged"'
  $'bell\x07back\x08tab\tvt\x0b'
  $'del\x7f'
  $'csi\xc2\x9b2J'
  $'\xff\xfe not UTF-8 \xe9'
  "$long"
  $'\xe8\xab\x8b\xe6\xb1\x82\xe6\x9b\xb8 quote" back\\slash'
)
sent=0
for text in "${hostile[@]}"; do
  what="hostile text $(printf %q "$text" | head -c 60)"
  if send_job "$text" "$text"; then
    sent=$((sent + 1))
    next_capture "$what" || continue
  else
    fail "$what: the job was refused ($(grep -m1 -E 'status-code|FAIL' "$tree/log/send.out"))"
  fi
done
send_job later "the later job" || fail "the later job was refused"
later_id=$job_id
next_capture "the later job" || true
echo "hostile texts: $sent of ${#hostile[@]} jobs printed"

ipptool -T 20 -tv "$(uri cap)" "$tree/get-jobs.test" > "$tree/log/get-jobs.out" 2>&1 ||
  { fail "Get-Jobs failed with the hostile jobs listed"; tail -n 20 "$tree/log/get-jobs.out" >&2; }
"$app" jobs -d cap > "$tree/log/jobs.out" || fail "the jobs subcommand failed"
check_clean "$tree/log/jobs.out" "the jobs subcommand's listing"
grep -q "^$later_id .*the later job" "$tree/log/jobs.out" || fail "the later job is not listed"
grep -qF 'title\x1B]0;owned\x07\x1B[2J' "$tree/log/jobs.out" ||
  fail "the escaped title is not listed as such"
grep -q "$(printf '\xe8\xab\x8b\xe6\xb1\x82')" "$tree/log/jobs.out" ||
  fail "a UTF-8 name was not kept as written"

# The state file is written as the server stops; the jobs after a bad line
# would be lost when it starts again.
restart_app
state_file=$(find /var/lib -name '*.state' | head -n 1)
if [ -n "$state_file" ]; then
  check_clean "$state_file" "the state file"
  [ "$(grep -c '^Job ' "$state_file")" -eq $((sent + 1)) ] ||
    fail "the state file does not hold one line for each of the $((sent + 1)) jobs"
else
  fail "no state file under /var/lib"
fi
"$app" jobs -d cap > "$tree/log/jobs-restarted.out" || fail "the jobs subcommand failed"
grep -q "^$later_id .*the later job" "$tree/log/jobs-restarted.out" ||
  fail "the later job was lost in the restart"
[ "$(wc -l < "$tree/log/jobs-restarted.out")" -eq $((sent + 1)) ] ||
  fail "the restart lost jobs: $(wc -l < "$tree/log/jobs-restarted.out") of $((sent + 1)) listed"
ipptool -T 20 -t "$(uri cap)" "$tree/get-jobs.test" > /dev/null 2>&1 ||
  fail "Get-Jobs failed after the restart"

# ---- The job log: its byte counts ------------------------------------------
grep -q "[0-9]* bytes of commands, $doc_size bytes of document" "$tree/log/app.log" ||
  fail "the log does not give the document's $doc_size bytes"
! grep -q '%zu' "$tree/log/app.log" || fail "the log has a format PAPPL does not know"

# ---- A job keeps its client across a restart -------------------------------
if send_job held "held job" 192.0.2.20 indefinite; then
  held_id=$job_id
  ls "$tree"/spool/*.origin > /dev/null 2>&1 || fail "the held job's client is not recorded"
  restart_app
  if ipptool -T 20 -t -d job="$held_id" -d owner=held "$(uri cap)" "$tree/release.test" \
    > "$tree/log/release.out" 2>&1; then
    if next_capture "the held job"; then
      grep -q 'client name "192.0.2.20"' "$capture.decoded" ||
        fail "after the restart the held job names another client"
      grep -q "C0000214" "$capture.decoded" ||
        fail "after the restart the held job's @HOAD= is not 192.0.2.20"
    fi
  else
    fail "the held job could not be released"
    cat "$tree/log/release.out" >&2
  fi
else
  fail "the job to hold was refused"
fi
# A record that is not one the application wrote gives the job no client,
# whatever it holds, and the log says so without its raw bytes.
if send_job held "corrupt record" 192.0.2.20 indefinite; then
  records=("$tree"/spool/*.origin)
  if [ -e "${records[0]}" ]; then
    printf '\033[2J192.0.2.20\n' > "${records[0]}"
    ipptool -T 20 -t -d job="$job_id" -d owner=held "$(uri cap)" "$tree/release.test" \
      > /dev/null 2>&1 || fail "the job with a corrupt record could not be released"
    if next_capture "the job with a corrupt record"; then
      grep -q 'client name "UnknownHost"' "$capture.decoded" ||
        fail "a corrupt record named a client"
      ! grep -q "host address" "$capture.decoded" || fail "a corrupt record gave an address"
    fi
    grep -q 'record is not one this program wrote: .*x1B\[2J192.0.2.20' "$tree/log/app.log" ||
      fail "the log does not say the record was refused"
  else
    fail "the job with a corrupt record has no record"
  fi
else
  fail "the second job to hold was refused"
fi
for _ in $(seq 50); do
  ls "$tree"/spool/*.origin > /dev/null 2>&1 || break
  sleep 0.2
done
! ls "$tree"/spool/*.origin > /dev/null 2>&1 || fail "a finished job's client record stayed"

# ---- A trusted peer never makes its job this machine's ---------------------
"$app" modify -d cap -o rkvtps-trusted-peers=192.0.2.20 > /dev/null ||
  fail "the trusted peers could not be set"
for origin in "::ffff:127.0.0.1" "[v1.::1]" "localhost" "127.0.0.2" ""; do
  what="a trusted peer naming \"$origin\""
  send_job peer "$what" 192.0.2.20 no-hold "$origin" || { fail "$what: refused"; continue; }
  next_capture "$what" || continue
  grep -q 'client name "192.0.2.20"' "$capture.decoded" || fail "$what: the job's client is not the peer"
  grep -q "C0000214" "$capture.decoded" || fail "$what: @HOAD= is not the peer's"
done
grep -q 'named the client "::ffff:127.0.0.1", which is ignored' "$tree/log/app.log" ||
  fail "the job log does not say a named client was ignored"
send_job peer "named client" 192.0.2.20 no-hold "client7.example" || fail "the named client's job was refused"
if next_capture "a trusted peer naming client7.example"; then
  grep -q 'client name "client7.example"' "$capture.decoded" ||
    fail "a trusted peer's named client was not taken"
fi

# ---- What a job may set: N-up, never the administrator's settings ----------
ipp_test creation Get-Printer-Attributes << 'EOF_TEST'
  ATTR keyword requested-attributes job-creation-attributes-supported
  STATUS successful-ok
}
EOF_TEST
ipptool -T 10 -tv "$(uri cap)" "$tree/creation.test" > "$tree/log/creation.out" 2>&1 ||
  fail "Get-Printer-Attributes failed"
creation=$(grep -F "job-creation-attributes-supported (" "$tree/log/creation.out" || true)
[ "$(grep -c . <<< "$creation")" -eq 1 ] ||
  fail "job-creation-attributes-supported is not one attribute: $creation"
for name in job-name number-up rkvtps-nup; do
  grep -qE "[ =,]$name(,|$)" <<< "$creation" || fail "a job may not set $name: $creation"
done
! grep -oE "rkvtps-[a-z-]+" <<< "$creation" | grep -qv '^rkvtps-nup$' ||
  fail "a job may set the administrator's settings: $creation"

check_clean "$tree/log/app.log" "the application's log"
app_env_finish "job text and clients ($capture_count jobs printed)"
