#!/usr/bin/env bash
# rkvtps-filter end to end: a private cupsd from Debian's packages, every
# path in a temporary tree, queues made with the installed filter and PPD,
# jobs sent with lp, and the bytes that reach the printer decoded and
# compared. Everything started here is stopped on every path.
#   tests/cups/end_to_end.sh BUILD_DIR
# Exit 0 all cases passed, 1 a case failed, 77 not run (and why).
#
# It runs in network, mount, host-name and process namespaces of its own: cupsd and
# ippeveprinter listen on that loopback only, ippeveprinter's DNS-SD goes to
# a private D-Bus and avahi-daemon whose announcements reach no real
# network, and /run is a private tmpfs.
set -euo pipefail

build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)

# shellcheck source=../support/test_namespaces.sh
source "$here/../support/test_namespaces.sh"
[ "$(id -u)" = 0 ] || env_skip "cupsd must start as root (it runs filters as user lp)"
env_need /usr/sbin/cupsd lp lpadmin lpstat ipptool ippeveprinter dbus-daemon /usr/sbin/avahi-daemon
id lp > /dev/null 2>&1 || env_skip "there is no user lp"
env_enter rkvtps-cups "$0" "$@"
# A link with an IPv4 address, so this machine's own discovery has one.
env_link rk0 rk1 192.0.2.10/24
env_private_folders /run
env_tree rkcups

# An IPv6 client that is not this machine, from fd00::20 to cupsd on
# fd00::10 (where it can be had).
client_ns=""
if env_client rk0 rk1 fd00::10/64 fd00::20/64; then client_ns=rkclient; fi

# ---- The installed filter and PPD, in a ServerBin of this tree -------------
prefix=$tree/prefix
cmake --install "$build" --prefix "$prefix" > /dev/null
serverbin=$prefix/lib/cups
ppd=$prefix/share/ppd/rkvtps32/rkvtps-generic.ppd
tool=$prefix/bin/rkvtps
[ -x "$serverbin/filter/rkvtps-filter" ] || { echo "FAIL: the filter was not installed" >&2; exit 1; }
# shellcheck source=../support/private_cupsd.sh
source "$here/../support/private_cupsd.sh"
fill_serverbin "$serverbin"
install -m 755 "$here/capture_backend.sh" "$serverbin/backend/rkcapture"

# The rest of cupsd's tree comes with it (start_private_cupsd, below).
mkdir -p "$tree"/{etc/ppd,log,out,ipp}
chown lp "$tree/out"
socket=$tree/cups.sock
[ ${#socket} -lt 100 ] || env_skip "the temporary folder's path is too long for a unix socket"

port=$(free_port)
ipp_port=$(free_port)

cupsd_extra=()
[ -z "$client_ns" ] || cupsd_extra+=("Listen [fd00::10]:$port")
start_private_cupsd "$tree" "$serverbin" "$socket" "$port" "${cupsd_extra[@]}" || exit 1

# ippeveprinter will not start without DNS-SD: a private bus and avahi.
start_system_bus
start_avahi rkvtps-cups
ippeveprinter -r off -p "$ipp_port" -d "$tree/ipp" -k \
  -f application/octet-stream,application/vnd.rkvtps rkipp > "$tree/log/ippeveprinter.log" 2>&1 &
pids+=($!)

# A queue NAME on DEVICE-URI with the installed PPD and OPTIONS (-o ...).
make_queue() {
  local name=$1 uri=$2
  shift 2
  lpadmin -h "$socket" -p "$name" -E -v "$uri" -P "$ppd" "$@"
}

# ---- Jobs --------------------------------------------------------------------
# job_query ATTRIBUTE [LINE]: an ipptool test that displays one attribute
# of job $job_id, with LINE added to its operation attributes.
job_query() {
  cat << EOF
{
  OPERATION Get-Job-Attributes
  GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8
  ATTR naturalLanguage attributes-natural-language en
  ATTR uri printer-uri \$uri
  ATTR integer job-id \$job_id
  ${2:-}
  ATTR keyword requested-attributes $1
  DISPLAY $1
}
EOF
}
job_query job-state > "$tree/job-state.test"

# The final state of job ID on QUEUE (completed, aborted, canceled, stopped),
# waiting up to a minute.
wait_for_job() {
  local queue=$1 id=$2 state=""
  for _ in $(seq 600); do
    state=$(ipptool -t -d job_id="$id" "ipp://127.0.0.1:$port/printers/$queue" \
      "$tree/job-state.test" 2> /dev/null | sed -n 's/^ *job-state (enum) = //p' | tail -n 1)
    case "$state" in
      completed | aborted | canceled | stopped) break ;;
    esac
    # A job whose printer stopped stays pending: that is its end here.
    if [ "$state" = pending ] && lpstat -h "$socket" -p "$queue" 2> /dev/null | grep -q disabled; then
      state=stopped
      break
    fi
    sleep 0.1
  done
  echo "${state:-unknown}"
}

# Sends FILE to QUEUE as USER with the lp arguments that follow (options,
# and further files: lp makes one job with a document for each file, in
# order); prints the job id. With CLIENT_NS set the job comes over IPv6
# from the client's network namespace, else from this machine's socket.
submit() {
  local queue=$1 user=$2 file=$3 server=$socket
  shift 3
  local client=()
  if [ -n "${CLIENT_NS:-}" ]; then
    client=(ip netns exec "$CLIENT_NS")
    server="[fd00::10]:$port"
  fi
  # A job lp or cupsd refuses gives no id (lp says why); the caller reports it.
  { "${client[@]}" lp -h "$server" -d "$queue" -U "$user" "$file" "$@" || true; } |
    sed -n 's/^request id is [^ ]*-\([0-9]*\) .*/\1/p'
}

failures=0
fail() {
  echo "FAIL $*"
  failures=$((failures + 1))
}
# A case this machine cannot stage: said, and a failure where CI requires
# every case.
not_run() {
  echo "not run: $*"
  [ -z "${RK_REQUIRE_CUPS:-}" ] || failures=$((failures + 1))
}

# CAPTURE must be the commands in HEADER (a file) and then DOCUMENT byte for
# byte, and the decoder must find the commands well formed.
check_capture() {
  local what=$1 capture=$2 header=$3 document=$4
  if [ ! -f "$capture" ]; then
    fail "$what: nothing reached the printer"
  elif ! cmp -s "$capture" <(cat "$header" "$document"); then
    fail "$what: the printer got
$("$tool" decode --escape --lenient - < "$capture" 2>&1 | head -n 20)
expected
$("$tool" decode --escape --lenient "$header" 2>&1)"
  elif ! "$tool" decode --strict - < "$header" > /dev/null; then
    fail "$what: the decoder finds a command malformed"
  else
    echo "ok   $what"
  fi
}

# Writes EXPECTED-COMMANDS (one a line) to FILE, SEPARATOR (LF by
# default) after each.
write_header() {
  local expected=$1 header=$2 line
  : > "$header"
  while IFS= read -r line; do
    if [ -n "$line" ]; then
      printf '%s%b' "$line" "${SEPARATOR-\\n}" >> "$header"
    fi
  done <<< "$expected"
}

# Runs one job: CASE QUEUE USER DOCUMENT EXPECTED-COMMANDS [lp arguments...].
# The printer must get the commands and then BODY (a file; DOCUMENT by
# default). The job's id is left in last_job.
last_job=""
run_job() {
  local what=$1 queue=$2 user=$3 document=$4 expected=$5 id state
  shift 5
  last_job=""
  rm -f "$tree/out/$queue"
  id=$(submit "$queue" "$user" "$document" "$@")
  [ -n "$id" ] || { fail "$what: lp did not take the job"; return; }
  last_job=$id
  state=$(wait_for_job "$queue" "$id")
  [ "$state" = completed ] || { fail "$what: job $id ended $state"; return; }
  write_header "$expected" "$tree/expected-header"
  check_capture "$what" "$tree/out/$queue" "$tree/expected-header" "${BODY:-$document}"
}

# The bytes in front of BODY in CAPTURE, written to HEADER; false when
# CAPTURE does not end with BODY.
split_header() {
  local capture=$1 body=$2 header=$3 size
  [ -f "$capture" ] || return 1
  size=$(($(stat -c %s "$capture") - $(stat -c %s "$body")))
  [ "$size" -ge 0 ] && cmp -s <(tail -c +$((size + 1)) "$capture") "$body" || return 1
  head -c "$size" "$capture" > "$header"
}

# What a hostile text must never do to the header the printer got: each
# line (LF separators) holds exactly one "@NAME=" and no byte below 0x20,
# and the decoder finds every command well formed. Checked on the bytes
# captured, not on this script's expectation, so a wrong expectation
# cannot hide a forged command. Prints the problem; false if there is one.
header_problem() {
  local header=$1
  perl -0777 -e '
    $_ = <STDIN> // "";
    sub shown { my $s = shift; $s =~ s/([^\x20-\x7e]|\\)/sprintf("\\x%02X", ord $1)/ge; $s }
    if ($_ eq "") { print "no commands at all"; exit 1 }
    if (!/\n\z/) { print "no separator after the last command: ", shown($_); exit 1 }
    for my $line (split /\n/) {
      my $starts = () = $line =~ /\@[A-Z]{4}=/g;
      if ($starts != 1) { print "$starts command starts in one line: ", shown($line); exit 1 }
      if ($line =~ /[\x00-\x1f]/) { print "a control byte in: ", shown($line); exit 1 }
    }' < "$header" || return 1
  "$tool" decode --strict --file "$header" > "$tree/decoded" 2>&1 || {
    echo "the decoder finds the header malformed: $(head -c 400 "$tree/decoded")"
    return 1
  }
}

# CASE CAPTURE BODY: the header in front of BODY passes header_problem.
check_header_shape() {
  local what=$1 capture=$2 body=$3 problem
  if ! split_header "$capture" "$body" "$tree/got-header"; then
    fail "$what: the printer did not get the whole document after the commands"
  elif ! problem=$(header_problem "$tree/got-header"); then
    fail "$what: $problem"
  else
    echo "ok   $what: one command a line, no control byte"
  fi
}

# job_host QUEUE ID USER: what cupsd recorded as the job's
# job-originating-host-name (as ipptool shows it, less the backslashes it
# adds). cupsd shows it to the job's owner only: the query is made as USER.
job_query job-originating-host-name 'ATTR name requesting-user-name $owner' > "$tree/job-host.test"
job_host() {
  ipptool -t -d job_id="$2" -d owner="$3" "ipp://127.0.0.1:$port/printers/$1" "$tree/job-host.test" 2> /dev/null |
    sed -n 's/^ *job-originating-host-name ([^)]*) = //p' | tail -n 1 | sed 's/\\\(.\)/\1/g' || true
}

# What this machine's own discovery gives, for jobs sent from here.
local_name=$("$tool" client-name 2> /dev/null || true)
local_address=$("$tool" host-address 2> /dev/null || true)
own_owner() { RKVTPS32_ACP=$1 "$tool" owner --wide --code-type "${3:-1}" "$2" 2> /dev/null; }

printf 'Hello from rkvtps32.\n' > "$tree/text.txt"
head -c 1048576 /dev/urandom > "$tree/binary.bin"
printf '%b' "$(printf '\\%03o' $(seq 0 255))" >> "$tree/binary.bin"
head -c $((64 * 1048576)) /dev/urandom > "$tree/large.bin"

make_queue plain "rkcapture:$tree/out/plain"
make_queue admin "rkcapture:$tree/out/admin" -o RKCommands-default=JOAU-NLPP \
  -o RKOwnerCodeType-default=2 -o RKNup-default=N4
make_queue japanese "rkcapture:$tree/out/japanese" -o RKCodePage-default=932
make_queue local "rkcapture:$tree/out/local" -o RKClient-default=local
make_queue closing "rkcapture:$tree/out/closing?close=10" -o printer-error-policy=abort-job
make_queue ipp "ipp://127.0.0.1:$ipp_port/ipp/print"

text=$tree/text.txt
run_job "defaults, job from this machine" plain guest1 "$text" \
  "@JOAU=@guest1
$local_name
$local_address
@NLPP=1"
run_job "queue defaults set with lpadmin" admin guest1 "$text" \
  "$(own_owner 1252 guest1 2)
@NLPP=N4"
run_job "a job's keyword over the queue default" admin guest1 "$text" \
  "$(own_owner 1252 guest1 2)
@NLPP=P3" -o RKNup=P3
for n in 1 2 4 6 9 16; do
  keyword=N$n
  [ "$n" = 1 ] && keyword=1
  run_job "number-up $n" plain guest1 "$text" "@NLPP=$keyword" -o number-up="$n" -o RKCommands=NLPP
done
for keyword in 1 N2 N4 N6 N8 N9 N16 N32 P2 P3 P4 P8 P9 P16; do
  run_job "RKNup=$keyword" plain guest1 "$text" "@NLPP=$keyword" -o RKNup="$keyword" -o RKCommands=NLPP
done
run_job "RKNup over number-up" plain guest1 "$text" "@NLPP=N32" -o RKNup=N32 -o number-up=4 \
  -o RKCommands=NLPP
run_job "client by IPv4 address" plain ann "$text" \
  "@JOAU=@ann
@CNAM=192.0.2.7
@HOAD=IC0000207" -o job-originating-host-name=192.0.2.7 -o RKCommands=JOAU-CNAM-HOAD
run_job "client by IPv6 address" plain ann "$text" \
  "@CNAM=2001:db8::7
@HOAD=620010db8000000000000000000000007" -o job-originating-host-name=2001:db8::7 \
  -o RKCommands=CNAM-HOAD
run_job "client by name: no address" plain ann "$text" \
  "@CNAM=laptop-ann.example" -o job-originating-host-name=laptop-ann.example -o RKCommands=CNAM-HOAD
run_job "RKClient=local over the job's host" local ann "$text" \
  "$local_name
$local_address" -o job-originating-host-name=192.0.2.7 -o RKCommands=CNAM-HOAD
run_job "Japanese user, code page 932" japanese "ゲスト" "$text" \
  "$(own_owner 932 ゲスト)" -o RKCommands=JOAU -o RKOwnerCodeType=1
run_job "Japanese user, code page 932, base 85" japanese "ゲスト" "$text" \
  "$(own_owner 932 ゲスト 3)" -o RKCommands=JOAU -o RKOwnerCodeType=3
run_job "Japanese user, code page 1252" plain "ゲスト" "$text" \
  "$(own_owner 1252 ゲスト)" -o RKCommands=JOAU
SEPARATOR='\r\n' run_job "CRLF separators" plain guest1 "$text" "@JOAU=@guest1
@NLPP=1" -o RKSeparator=CRLF -o RKCommands=JOAU-NLPP
SEPARATOR='' run_job "no separators" plain guest1 "$text" "@JOAU=@guest1
@NLPP=1" -o RKSeparator=None -o RKCommands=JOAU-NLPP
run_job "binary document" plain guest1 "$tree/binary.bin" "@NLPP=1" -o RKCommands=NLPP \
  -o document-format=application/octet-stream
run_job "64 MiB document" plain guest1 "$tree/large.bin" "@NLPP=1" -o RKCommands=NLPP

# ---- Copies and documents ------------------------------------------------------
# cupsd hands the first filter the spool file and the number of copies:
# the commands go out once, then the document that many times.
cat "$text" "$text" "$text" > "$tree/text-3"
BODY=$tree/text-3 run_job "three copies: one header, the document three times" plain guest1 "$text" \
  "@JOAU=@guest1
@NLPP=1" -o RKCommands=JOAU-NLPP -n 3
cat "$tree/binary.bin" "$tree/binary.bin" > "$tree/binary-2"
BODY=$tree/binary-2 run_job "two copies of a binary document" plain guest1 "$tree/binary.bin" \
  "@NLPP=1" -o RKCommands=NLPP -o document-format=application/octet-stream -n 2
# Several documents in one job: cupsd runs the filter once for each and
# the backend once for the job, so only the first document may carry the
# commands.
printf 'The second document.\n' > "$tree/second.txt"
cat "$text" "$tree/second.txt" > "$tree/two-documents"
BODY=$tree/two-documents run_job "two documents: one header, then both" plain guest1 "$text" \
  "@JOAU=@guest1
@NLPP=1" -o RKCommands=JOAU-NLPP "$tree/second.txt"
cat "$text" "$tree/second.txt" "$tree/binary.bin" > "$tree/three-documents"
BODY=$tree/three-documents run_job "three documents, the last binary" plain guest1 "$text" \
  "@NLPP=1" -o RKCommands=NLPP -o document-format=application/octet-stream "$tree/second.txt" \
  "$tree/binary.bin"

# ---- IPv6 clients --------------------------------------------------------------
# cupsd writes an IPv6 peer as "[v1.ADDR]", "[v1.ADDR+zone]" when link-local;
# the commands carry the bare address. A job over the local socket may
# name its own host, so these forms can be given here. Each row: the host
# name | the commands expected, "|" between them.
ipv6_forms=(
  "[v1.2001:db8::7]|@CNAM=2001:db8::7|@HOAD=620010db8000000000000000000000007"
  "[v1.fe80::1+rk0]|@CNAM=fe80::1|@HOAD=6fe800000000000000000000000000001"
  "::ffff:127.0.0.1|$local_name|$local_address"
)
for row in "${ipv6_forms[@]}"; do
  host=${row%%|*}
  expected=${row#*|}
  run_job "client $host" plain ann "$text" "${expected//|/$'\n'}" \
    -o job-originating-host-name="$host" -o RKCommands=CNAM-HOAD
done

# A real IPv6 client: cupsd takes the client from the connection, and a
# job that names another host over a network connection does not change
# it.
if [ -z "$client_ns" ]; then
  not_run "a job over IPv6 from another address: no IPv6 address or network namespace for a client here"
else
  for forged_host in "" 192.0.2.7; do
    what="a job over IPv6 from fd00::20"
    options=(-o RKCommands=JOAU-CNAM-HOAD-NLPP)
    if [ -n "$forged_host" ]; then
      what="$what, naming $forged_host"
      options+=(-o job-originating-host-name="$forged_host")
    fi
    CLIENT_NS=$client_ns run_job "$what" plain guest1 "$text" \
      "@JOAU=@guest1
@CNAM=fd00::20
@HOAD=6fd000000000000000000000000000020
@NLPP=1" "${options[@]}"
    if [ -n "$last_job" ]; then
      host=$(job_host plain "$last_job" guest1)
      if [ "$host" = "[v1.fd00::20]" ]; then
        echo "ok   $what: cupsd recorded the client as $host"
      else
        fail "$what: cupsd recorded the client as \"$host\", not [v1.fd00::20]"
      fi
    fi
  done
fi

# ---- Hostile user and client names -------------------------------------------
# Names that hold a command of their own or a control byte, as cupsd hands
# them on: a name whose command would hold a second command start or a
# control byte goes out as the library's stand-in (UnknownUser,
# UnknownHost), whatever the charset mask, and the job still prints. Each
# row: case | queue | user | job-originating-host-name (empty: this
# machine) | job options, NAME=VALUE separated by spaces | the commands
# expected, "|" between them.
# cupsd itself hands the filter "anonymous" for a requesting-user-name
# that holds a control byte (CUPS 2.4 without StrictConformance), so that
# row checks the whole path: no escape byte reaches the printer.
esc=$'\e'
hostile_names=(
  "a user name holding a command|plain|x@JOAU=@root||RKCommands=JOAU|@JOAU=@UnknownUser"
  "a user name holding a command, no charset check|plain|x@JOAU=@root||RKCommands=JOAU RKCharsetMask=65535|@JOAU=@UnknownUser"
  "a user name holding a command, code type 5|plain|x@JOAU=@root||RKCommands=JOAU RKOwnerCodeType=5|@JOAU=UnknownUser"
  "a user name with another form's mark, code type 5|plain|\$x||RKCommands=JOAU RKOwnerCodeType=5|@JOAU=UnknownUser"
  "a user name holding a command, base 85 (code type 2) spells no command|admin|x@JOAU=@root|||$(own_owner 1252 'x@JOAU=@root' 2)|@NLPP=N4"
  "a user name with an escape sequence (cupsd sends anonymous)|plain|esc${esc}[2Juser||RKCommands=JOAU|@JOAU=@anonymous"
  "a client name holding a command|plain|guest1|x@HOAD=IC0A80001|RKCommands=CNAM-HOAD|@CNAM=UnknownHost"
  "a client name with an escape sequence|plain|guest1|host${esc}[2J|RKCommands=CNAM-HOAD|@CNAM=UnknownHost"
  "a client name with an escape sequence, no charset check|plain|guest1|host${esc}[2J|RKCommands=CNAM-HOAD RKCharsetMask=65535|@CNAM=UnknownHost"
  "a hostile user and client, every command|plain|x@JOAU=@root|x@HOAD=IC0A80001||@JOAU=@UnknownUser|@CNAM=UnknownHost|@NLPP=1"
)
for row in "${hostile_names[@]}"; do
  IFS='|' read -r what queue user host job_options expected <<< "$row"
  options=()
  [ -z "$host" ] || options+=(-o job-originating-host-name="$host")
  for option in $job_options; do
    options+=(-o "$option")
  done
  run_job "$what" "$queue" "$user" "$text" "${expected//|/$'\n'}" "${options[@]}"
  if [ -f "$tree/out/$queue" ]; then
    check_header_shape "$what" "$tree/out/$queue" "$text"
  fi
done

# ---- Log lines forged by a job ----------------------------------------------
# cupsd acts on its filters' standard error line by line: "PPD:" rewrites
# the queue's PPD when the job ends, "ATTR:" and "STATE:" change the
# printer. A job's text that reaches a log line raw could end the line and
# forge one. Each row: the option that carries the text | the line it
# tries to forge. (A user name cannot carry one: cupsd hands the filter
# "anonymous" for a name with a control byte.) Each attack has a queue of
# its own, and the attacks run at once: every queue must stay as it was
# (its PPD byte for byte, its options, its state), and its next job must
# get every command.
forged_lines=(
  "RKClient|PPD: DefaultRKCommands=None"
  "RKSeparator|PPD: DefaultRKCharsetMask=65535"
  "RKTagRow|PPD: DefaultRKClient=local"
  "RKTagColumn|PPD: DefaultRKOwnerCodeType=5"
  "RKCodePage|ATTR: marker-message=forged-by-a-job"
  "RKOwnerCodeType|STATE: +media-empty-error"
  "RKCommands|STATE: paused"
  "job-originating-host-name|PPD: DefaultRKSeparator=None"
)
cat > "$tree/printer-state.test" << 'EOT'
{
  OPERATION Get-Printer-Attributes
  GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8
  ATTR naturalLanguage attributes-natural-language en
  ATTR uri printer-uri $uri
  ATTR keyword requested-attributes printer-state,printer-state-reasons,printer-is-accepting-jobs,marker-message
  DISPLAY printer-state
  DISPLAY printer-state-reasons
  DISPLAY printer-is-accepting-jobs
  DISPLAY marker-message
}
EOT
# QUEUE's options as cupsd serves its PPD, and what the printer reports.
# (lpoptions finds no printer-uri over the local socket: it asks over TCP.)
queue_state() {
  lpoptions -h "127.0.0.1:$port" -p "$1" -l 2>&1 || true
  ipptool -t "ipp://127.0.0.1:$port/printers/$1" "$tree/printer-state.test" 2>&1 |
    grep ' = ' || true
}
attack_ids=()
for i in "${!forged_lines[@]}"; do
  carrier=${forged_lines[i]%%|*}
  line=${forged_lines[i]#*|}
  queue=forged$i
  make_queue "$queue" "rkcapture:$tree/out/$queue"
  cp "$tree/etc/ppd/$queue.ppd" "$tree/$queue.ppd-before"
  queue_state "$queue" > "$tree/$queue.state-before"
  hostile="x"$'\n'"$line"$'\n'"DEBUG: y"
  attack_ids[i]=$(submit "$queue" guest1 "$text" -o "$carrier='$hostile'")
done
for i in "${!forged_lines[@]}"; do
  carrier=${forged_lines[i]%%|*}
  line=${forged_lines[i]#*|}
  queue=forged$i id=${attack_ids[i]}
  what="\"$line\" forged in $carrier"
  [ -n "$id" ] || { fail "$what: lp did not take the job"; continue; }
  state=$(wait_for_job "$queue" "$id")
  queue_state "$queue" > "$tree/$queue.state-after"
  # Every way the queue changed, not just the first. (An assignment takes
  # the status of its command substitutions: each ends in "|| true".)
  problems=()
  [ "$state" = completed ] || problems+=("job $id ended $state")
  if ! grep -aF "[Job $id] argv[5]=" "$tree/log/error_log" | grep -aqF " $carrier=x"; then
    # Otherwise the case would prove nothing.
    problems+=("cupsd did not hand the filter the hostile $carrier")
  fi
  if grep -aF "[Job $id] $line" "$tree/log/error_log" > "$tree/forged-read"; then
    problems+=("cupsd read the forged line: $(head -n 3 "$tree/forged-read")")
  fi
  if ! cmp -s "$tree/$queue.ppd-before" "$tree/etc/ppd/$queue.ppd"; then
    problems+=("cupsd rewrote the queue's PPD:
$(diff "$tree/$queue.ppd-before" "$tree/etc/ppd/$queue.ppd" | head -n 10 || true)")
  fi
  if ! grep -q '^RKCommands/' "$tree/$queue.state-before" ||
    ! grep -q '^RKCommands/' "$tree/$queue.state-after"; then
    problems+=("lpoptions could not list the queue's options: $(grep -m 1 lpoptions \
      "$tree/$queue.state-before" "$tree/$queue.state-after" || true)")
  fi
  if ! cmp -s "$tree/$queue.state-before" "$tree/$queue.state-after"; then
    problems+=("the queue changed:
$(diff "$tree/$queue.state-before" "$tree/$queue.state-after" | head -n 10 || true)")
  fi
  if [ ${#problems[@]} -gt 0 ]; then
    report=$(printf '%s; ' "${problems[@]}")
    fail "$what: ${report%; }"
  else
    echo "ok   $what: cupsd read no such line, the queue is as it was"
  fi
  if [ "$state" = completed ]; then
    check_header_shape "$what" "$tree/out/$queue" "$text"
  fi
done
# Each queue's next job, all at once again: every command, as before.
follow_ids=()
for i in "${!forged_lines[@]}"; do
  rm -f "$tree/out/forged$i"
  follow_ids[i]=$(submit "forged$i" guest1 "$text" -o job-originating-host-name=192.0.2.7)
done
printf '@JOAU=@guest1\n@CNAM=192.0.2.7\n@HOAD=IC0000207\n@NLPP=1\n' > "$tree/full-header"
for i in "${!forged_lines[@]}"; do
  what="the job after \"${forged_lines[i]#*|}\""
  id=${follow_ids[i]}
  [ -n "$id" ] || { fail "$what: lp did not take the job"; continue; }
  state=$(wait_for_job "forged$i" "$id")
  if [ "$state" != completed ]; then
    fail "$what: job $id ended $state"
  else
    check_capture "$what" "$tree/out/forged$i" "$tree/full-header" "$text"
  fi
done

# A printer that closes its input after 10 bytes: the job must end aborted
# (the queue's error policy), never completed.
id=$(submit closing guest1 "$tree/large.bin")
state=$(wait_for_job closing "$id")
if [ "$state" = aborted ] && [ "$(stat -c %s "$tree/out/closing")" = 10 ]; then
  echo "ok   a printer that closes early: job $id aborted"
else
  fail "a printer that closes early: job $id ended $state"
fi

# A real IPP printer: ippeveprinter keeps what it received.
id=$(submit ipp guest1 "$text" -o RKCommands=JOAU-NLPP)
state=$(wait_for_job ipp "$id")
received=$(ls -t "$tree"/ipp/*/* "$tree"/ipp/* 2> /dev/null | grep -v '\.ipp$' | head -n 1 || true)
printf '@JOAU=@guest1\n@NLPP=1\n' > "$tree/expected-header"
if [ "$state" != completed ]; then
  fail "ippeveprinter: job $id ended $state"
elif [ -n "$received" ] && [ -f "$received" ]; then
  check_capture "ippeveprinter as the printer" "$received" "$tree/expected-header" "$text"
else
  fail "ippeveprinter: no document kept in $tree/ipp"
fi

if [ "$failures" -gt 0 ]; then
  echo "--- cupsd's log, last lines"
  tail -n 40 "$tree/log/error_log"
  echo "$failures case(s) failed"
  exit 1
fi
echo "all cases passed"
