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

# CI sets RK_REQUIRE_CUPS=1: there, a case that cannot run is a failure.
skip() {
  echo "cups end to end: not run: $*"
  [ -z "${RK_REQUIRE_CUPS:-}" ] || exit 1
  exit 77
}
[ "$(id -u)" = 0 ] || skip "cupsd must start as root (it runs filters as user lp)"
for program in /usr/sbin/cupsd lp lpadmin lpstat ipptool ippeveprinter dbus-daemon \
  /usr/sbin/avahi-daemon; do
  command -v "$program" > /dev/null || skip "$program is missing (scripts/install-deps.sh installs it)"
done
id lp > /dev/null 2>&1 || skip "there is no user lp"
if [ -z "${RK_CUPS_NAMESPACE:-}" ]; then
  unshare --net --mount --uts --pid --fork --mount-proc true 2> /dev/null ||
    skip "cannot make network, mount and process namespaces here"
  # In a process namespace of its own, whatever it started ends with it,
  # even when it is killed outright and its trap cannot run.
  RK_CUPS_NAMESPACE=1 exec unshare --net --mount --uts --pid --fork --mount-proc --kill-child \
    "$0" "$@"
fi
hostname rkvtps-cups
ip link set lo up
# A link with an IPv4 address, so this machine's own discovery has one.
ip link add rk0 type veth peer name rk1
ip addr add 192.0.2.10/24 dev rk0
ip link set rk0 up
ip link set rk1 up
mount -t tmpfs tmpfs /run

# On the private /run: nothing of it outlives the namespace.
tree=$(mktemp -d /run/rkcups.XXXXXX)
chmod 755 "$tree"  # user lp runs the filter from here
pids=()
stop_all() {
  for pid in "${pids[@]}"; do
    kill "$pid" 2> /dev/null || true
  done
  for pid in "${pids[@]}"; do
    wait "$pid" 2> /dev/null || true
  done
  rm -rf "$tree"
}
trap stop_all EXIT
trap 'exit 1' INT TERM

# ---- The installed filter and PPD, in a ServerBin of this tree -------------
prefix=$tree/prefix
cmake --install "$build" --prefix "$prefix" > /dev/null
serverbin=$prefix/lib/cups
ppd=$prefix/share/ppd/rkvtps32/rkvtps-generic.ppd
tool=$prefix/bin/rkvtps
[ -x "$serverbin/filter/rkvtps-filter" ] || { echo "FAIL: the filter was not installed" >&2; exit 1; }
mkdir -p "$serverbin/daemon" "$serverbin/backend"
cp /usr/lib/cups/daemon/cups-exec "$serverbin/daemon/"
cp /usr/lib/cups/backend/ipp "$serverbin/backend/"
install -m 755 "$here/capture_backend.sh" "$serverbin/backend/rkcapture"

mkdir -p "$tree"/{etc/ppd,spool/tmp,cache,state,log,out,ipp}
chown lp "$tree/out" "$tree/spool" "$tree/spool/tmp" "$tree/cache"
chmod 700 "$tree/spool"
socket=$tree/cups.sock
[ ${#socket} -lt 100 ] || skip "the temporary folder's path is too long for a unix socket"

free_port() {
  local port
  for port in $(shuf -i 20000-29999 -n 50); do
    ss -Hltn "sport = :$port" | grep -q . || { echo "$port"; return; }
  done
  return 1
}
port=$(free_port)
ipp_port=$(free_port)

cat > "$tree/etc/cups-files.conf" << EOF
ServerRoot $tree/etc
ServerBin $serverbin
DataDir /usr/share/cups
RequestRoot $tree/spool
TempDir $tree/spool/tmp
CacheDir $tree/cache
StateDir $tree/state
AccessLog $tree/log/access_log
ErrorLog $tree/log/error_log
PageLog $tree/log/page_log
User lp
Group lp
SystemGroup root
FileDevice No
EOF
cat > "$tree/etc/cupsd.conf" << EOF
LogLevel debug
Listen $socket
Listen 127.0.0.1:$port
Browsing Off
WebInterface No
DefaultAuthType None
JobRetryLimit 0
PreserveJobFiles No
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
EOF

/usr/sbin/cupsd -f -c "$tree/etc/cupsd.conf" -s "$tree/etc/cups-files.conf" &
pids+=($!)
for _ in $(seq 100); do
  # lpstat -r exits 0 whether or not the scheduler runs: read its words.
  lpstat -h "$socket" -r 2> /dev/null | grep -q "scheduler is running" && break
  sleep 0.1
done
lpstat -h "$socket" -r | grep -q "scheduler is running" || {
  cat "$tree/log/error_log" >&2
  echo "FAIL: cupsd did not start" >&2
  exit 1
}

# ippeveprinter will not start without DNS-SD: a private bus and avahi.
cat > "$tree/etc/dbus.conf" << EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=$tree/dbus.sock</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*"/>
    <allow receive_sender="*"/>
  </policy>
</busconfig>
EOF
cat > "$tree/etc/avahi.conf" << EOF
[server]
host-name=rkvtps-cups
use-ipv4=yes
use-ipv6=no
enable-dbus=yes
[publish]
publish-hinfo=no
publish-workstation=no
EOF
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$tree/dbus.sock
dbus-daemon --config-file="$tree/etc/dbus.conf" --nofork --nopidfile > "$tree/log/dbus.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do
  [ -S "$tree/dbus.sock" ] && break
  sleep 0.1
done
/usr/sbin/avahi-daemon --no-drop-root --no-chroot --no-rlimits -f "$tree/etc/avahi.conf" \
  > "$tree/log/avahi.log" 2>&1 &
pids+=($!)
sleep 1
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
cat > "$tree/job-state.test" << 'EOF'
{
  OPERATION Get-Job-Attributes
  GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8
  ATTR naturalLanguage attributes-natural-language en
  ATTR uri printer-uri $uri
  ATTR integer job-id $job_id
  ATTR keyword requested-attributes job-state
  DISPLAY job-state
}
EOF

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

# Sends FILE to QUEUE as USER with the lp options that follow; prints the
# job id.
submit() {
  local queue=$1 user=$2 file=$3
  shift 3
  lp -h "$socket" -d "$queue" -U "$user" "$@" "$file" | sed -n 's/^request id is [^ ]*-\([0-9]*\) .*/\1/p'
}

failures=0
fail() {
  echo "FAIL $*"
  failures=$((failures + 1))
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

# Runs one job: CASE QUEUE USER DOCUMENT EXPECTED-COMMANDS [lp options...].
# EXPECTED-COMMANDS holds the commands one a line; SEPARATOR (LF by
# default) follows each.
run_job() {
  local what=$1 queue=$2 user=$3 document=$4 expected=$5 id state
  shift 5
  rm -f "$tree/out/$queue"
  id=$(submit "$queue" "$user" "$document" "$@")
  [ -n "$id" ] || { fail "$what: lp did not take the job"; return; }
  state=$(wait_for_job "$queue" "$id")
  [ "$state" = completed ] || { fail "$what: job $id ended $state"; return; }
  local header=$tree/expected-header
  : > "$header"
  while IFS= read -r line; do
    [ -n "$line" ] && printf '%s%b' "$line" "${SEPARATOR-\\n}" >> "$header"
  done <<< "$expected"
  check_capture "$what" "$tree/out/$queue" "$header" "$document"
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
