# A private cupsd for the end-to-end tests: its configuration, spool, state
# and logs under one folder of the test's own, a local socket and a port on
# loopback. Sourced by tests/cups/end_to_end.sh and the printer
# application's test; both run it inside namespaces of their own.
# shellcheck shell=bash

# fill_serverbin SERVERBIN [FILTERS]: what cupsd runs from its ServerBin
# for a queue on an IPP printer (cups-exec, the ipp backend), copied from
# the system's, and its filter folder: FILTERS where named (linked), else
# the one there (or an empty one). The caller adds its own filters and
# backends.
fill_serverbin() {
  mkdir -p "$1"/{daemon,backend}
  cp /usr/lib/cups/daemon/cups-exec "$1/daemon/"
  cp -p /usr/lib/cups/backend/ipp "$1/backend/"
  if [ -n "${2:-}" ]; then
    ln -s "$2" "$1/filter"
  else
    mkdir -p "$1/filter"
  fi
}

# start_private_cupsd ROOT SERVERBIN SOCKET PORT [LINE...]
# Writes ROOT/etc/cups-files.conf and ROOT/etc/cupsd.conf (each LINE added
# to cupsd.conf, an extra Listen for instance), starts cupsd in the
# background (its process id appended to the caller's array `pids`) and
# waits until it answers. Fails, with its error log, when it does not.
start_private_cupsd() {
  local root=$1 serverbin=$2 socket=$3 port=$4
  shift 4
  mkdir -p "$root"/{etc,spool/tmp,cache,state,log}
  chown lp "$root/spool" "$root/spool/tmp" "$root/cache"
  chmod 700 "$root/spool"
  cat > "$root/etc/cups-files.conf" << CONF
ServerRoot $root/etc
ServerBin $serverbin
DataDir /usr/share/cups
RequestRoot $root/spool
TempDir $root/spool/tmp
CacheDir $root/cache
StateDir $root/state
AccessLog $root/log/access_log
ErrorLog $root/log/error_log
PageLog $root/log/page_log
User lp
Group lp
SystemGroup root
FileDevice No
CONF
  {
    printf '%s\n' "LogLevel debug" "MaxLogSize 0" "Listen $socket" "Listen 127.0.0.1:$port" \
      "Browsing Off" "WebInterface No" "DefaultAuthType None" "JobRetryLimit 0" \
      "PreserveJobFiles No" "$@"
    cat << 'CONF'
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF
  } > "$root/etc/cupsd.conf"
  /usr/sbin/cupsd -f -c "$root/etc/cupsd.conf" -s "$root/etc/cups-files.conf" &
  pids+=($!)
  for _ in $(seq 100); do
    # lpstat -r exits 0 whether or not the scheduler runs: read its words.
    lpstat -h "$socket" -r 2> /dev/null | grep -q "scheduler is running" && return 0
    sleep 0.1
  done
  cat "$root/log/error_log" >&2
  echo "FAIL: cupsd did not start" >&2
  return 1
}

# add_everywhere_queue ROOT SOCKET PORT QUEUE DEVICE-URI FORMAT
# Makes QUEUE (on the cupsd started with ROOT) the driverless way and waits
# until it is ready to take FORMAT. cupsd answers lpadmin at once and writes
# the queue's PPD in a thread of its own, which then rebuilds the queue's
# attributes and formats while the main loop serves requests, unlocked: a
# job sent in that window is refused ("Unsupported document-format"), and
# any request then reads what the thread is replacing. So nothing asks
# cupsd anything until the thread's last word, "Printer ... is now
# available." in the log; lpadmin is not given -E (its enable and accept
# requests would come in that window), as the thread enables the queue
# itself. Fails with lpadmin's words or the error log.
add_everywhere_queue() {
  local root=$1 socket=$2 port=$3 queue=$4 device=$5 format=$6 out
  if ! out=$(lpadmin -h "$socket" -p "$queue" -v "$device" -m everywhere 2>&1); then
    echo "FAIL: lpadmin could not make the everywhere queue $queue: $out" >&2
    return 1
  fi
  local available=no
  for _ in $(seq 300); do
    if grep -qF "Printer \"$queue\" is now available." "$root/log/error_log" 2> /dev/null; then
      available=yes
      break
    fi
    sleep 0.1
  done
  local test_file
  test_file=$(mktemp)
  cat > "$test_file" << TEST
{
  OPERATION Get-Printer-Attributes
  GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8
  ATTR naturalLanguage attributes-natural-language en
  ATTR uri printer-uri \$uri
  ATTR keyword requested-attributes printer-is-accepting-jobs,document-format-supported
  STATUS successful-ok
  EXPECT printer-is-accepting-jobs WITH-VALUE true
  EXPECT document-format-supported WITH-VALUE "$format"
}
TEST
  if [ "$available" = yes ] &&
    ipptool -T 5 -q "ipp://127.0.0.1:$port/printers/$queue" "$test_file" 2> /dev/null; then
    rm -f "$test_file"
    return 0
  fi
  rm -f "$test_file"
  grep -E "^[EW] " "$root/log/error_log" | tail -n 10 >&2 || true
  echo "FAIL: the everywhere queue $queue was not made ready to take $format" >&2
  return 1
}
