# The printer application's tests share this: namespaces of their own
# (network, mount, host name, process), private /run, /var/lib and
# /var/spool, an installed copy of the build, a second address that is not
# loopback for remote clients, devices on loopback and the server itself.
# Nothing outlives the test: every process started here is stopped on exit.
# shellcheck shell=bash

# shellcheck source=test_namespaces.sh
source "$(dirname "${BASH_SOURCE[0]}")/test_namespaces.sh"

# app_env_enter BUILD_DIR SCRIPT ARGS...: skips (77) without root, the
# programs named in RK_APP_NEEDS or namespaces; otherwise re-runs SCRIPT in
# namespaces of its own, then sets up the tree. Sets: build tree prefix app
# tool pids failures.
app_env_skip() { env_skip "$@"; }

app_env_enter() {
  build=$(cd "$1" && pwd)
  local script=$2
  shift 2
  [ "$(id -u)" = 0 ] || app_env_skip "the test needs root for its namespaces"
  # shellcheck disable=SC2086 # RK_APP_NEEDS is a list of words
  env_need ipptool python3 ${RK_APP_NEEDS:-}
  [ -x "$build/bin/rkvtps-printer-app" ] || app_env_skip "rkvtps-printer-app was not built (no libpappl-dev)"
  env_enter rkvtps-app "$script" "$build" "$@"
  # A second address that is not loopback: a request from it is a remote
  # client's, with an address of its own.
  ip addr add 192.0.2.20/32 dev lo
  env_private_folders /run /var/lib /var/spool
  # The server makes its TLS key and certificate on the first encrypted
  # connection, as root in /etc/cups/ssl: a folder of the test's own, so
  # that two tests (or a test and this machine's cupsd) never mix a key
  # from one with a certificate from the other.
  env_private_folders /etc/cups/ssl
  env_tree rkapp
  failures=0
  prefix=$tree/prefix
  cmake --install "$build" --prefix "$prefix" > /dev/null
  app=$prefix/sbin/rkvtps-printer-app
  tool=$prefix/bin/rkvtps
  [ -x "$app" ] || { echo "FAIL: the application was not installed" >&2; exit 1; }
}

# bench_env_enter WHAT BUILD_DIR SCRIPT ARGS...: app_env_enter for a
# benchmark, which gives figures, never a verdict: where a test would be
# skipped it says "WHAT: not measured" and why, and exits 0.
bench_env_enter() {
  local what=$1 build_dir=$2 script=$3 program
  shift 3
  if [ -z "${RK_TEST_NAMESPACE:-}" ]; then
    [ -x "$build_dir/bin/rkvtps-printer-app" ] || { echo "$what: not built, not measured"; exit 0; }
    # shellcheck disable=SC2086 # RK_APP_NEEDS is a list of words
    for program in ipptool python3 ${RK_APP_NEEDS:-}; do
      command -v "$program" > /dev/null || { echo "$what: not measured (no $program)"; exit 0; }
    done
    env_can_enter || { echo "$what: not measured (needs root and namespaces)"; exit 0; }
  fi
  app_env_enter "$build_dir" "$script" "$@"
}

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# start_device PORT DIR [LIMIT [PAUSE]]: a raw-socket device on loopback
# that keeps each connection's bytes in DIR/conn-N (see device_listener.py).
start_device() {
  mkdir -p "$2"
  python3 "$here/device_listener.py" "$@" &
  pids+=($!)
}

# retry TIMES PAUSE COMMAND...: COMMAND until it succeeds, TIMES at most,
# PAUSE seconds apart; fails when it never did.
retry() {
  local times=$1 pause=$2
  shift 2
  for _ in $(seq "$times"); do
    "$@" && return 0
    sleep "$pause"
  done
  return 1
}

listening() { ss -Hltn "sport = :$1" | grep -q .; }

# wait_listening PORT: returns once something listens on PORT (10 s at
# most), else stops the test: a job sent to a device that does not answer
# yet waits seconds to retry.
wait_listening() {
  retry 100 0.1 listening "$1" && return 0
  echo "FAIL: nothing listens on port $1" >&2
  exit 1
}

# start_sink PORT: a device on loopback that keeps nothing (see
# device_listener.py), once it listens.
start_sink() {
  python3 "$here/device_listener.py" "$1" - &
  pids+=($!)
  wait_listening "$1"
}

# print_job_test USER [LINE...]: $tree/job.test, a Print-Job by USER of
# ipptool's $filename as $filetype (-f FILE -d filetype=TYPE), each LINE
# among its job attributes; it expects the job's id and shows it.
print_job_test() {
  local user=$1 line
  shift
  {
    printf '  ATTR name requesting-user-name %s\n' "$user"
    # shellcheck disable=SC2016 # ipptool expands $filetype and $filename
    printf '%s\n' '  ATTR mimeMediaType document-format $filetype' '  GROUP job-attributes-tag'
    for line in "$@"; do printf '  %s\n' "$line"; done
    # shellcheck disable=SC2016
    printf '%s\n' '  FILE $filename' '  STATUS successful-ok' \
      '  STATUS successful-ok-ignored-or-substituted-attributes' '  EXPECT job-id' \
      '  DISPLAY job-id' '}'
  } | ipp_test job Print-Job
}

# start_app PORT [OPTION...]: the server on PORT, listening on every
# address, with its log in $tree/log/app.log and spool in $tree/spool; each
# OPTION is passed as "-o OPTION". Waits until it answers.
start_app() {
  local port=$1 option options=()
  shift
  for option in "$@"; do options+=(-o "$option"); done
  "$app" server -o server-port="$port" -o listen-hostname='*' -o log-level=debug \
    -o log-file="$tree/log/app.log" -o spool-directory="$tree/spool" "${options[@]}" &
  app_pid=$!
  pids+=("$app_pid")
  for _ in $(seq 100); do
    [ -S /run/rkvtps-printer-app.sock ] && ss -Hltn "sport = :$port" | grep -q . && return 0
    sleep 0.1
  done
  cat "$tree/log/app.log" >&2
  echo "FAIL: no server" >&2
  exit 1
}

# ipp_test NAME OPERATION < BODY: an ipptool test file, $tree/NAME.test, for
# OPERATION on $uri; BODY holds the rest of its attributes and expectations
# and the closing brace.
ipp_test() {
  {
    printf '{\n  NAME "%s"\n  OPERATION %s\n  GROUP operation-attributes-tag\n' "$2" "$2"
    printf '  ATTR charset attributes-charset utf-8\n'
    printf '  ATTR naturalLanguage attributes-natural-language en\n'
    # shellcheck disable=SC2016 # ipptool expands $uri
    printf '  ATTR uri printer-uri $uri\n'
    cat
  } > "$tree/$1.test"
}

add_printer() {
  "$app" add -d "$1" -v "$2" -m rkvtps_generic > /dev/null
}

# uri PRINTER: the printer's IPP address on the server of $port.
uri() { echo "ipp://localhost:$port/ipp/print/$1"; }

# job_state PRINTER ID: the job's state word, as `jobs` lists it.
job_state() {
  "$app" jobs -d "$1" | awk -v id="$2" '$1 == id { print $2 }'
}

# wait_job_end PRINTER ID: prints the job's final state, or the last seen
# after a minute.
wait_job_end() {
  local state
  for _ in $(seq 300); do
    state=$(job_state "$1" "$2")
    case "$state" in completed | aborted | canceled) echo "$state"; return ;; esac
    sleep 0.2
  done
  echo "${state:-unknown}"
}

# job_attributes PRINTER ID: ipptool's account of the job's state, reasons
# and message.
job_attributes() {
  [ -e "$tree/job-state.test" ] || ipp_test job-state Get-Job-Attributes << 'EOF_TEST'
  ATTR integer job-id $job
  STATUS successful-ok
  DISPLAY job-state
  DISPLAY job-state-reasons
  DISPLAY job-state-message
}
EOF_TEST
  ipptool -T 10 -tv -d job="$2" "$(uri "$1")" "$tree/job-state.test" 2>&1 | grep -E "job-state" || true
}

# app_env_finish WHAT: the verdict, with the application's errors when
# anything failed.
app_env_finish() {
  if [ "$failures" -ne 0 ]; then
    grep -E "^[EW] " "$tree/log/app.log" | tail -n 40 >&2 || true
    echo "$failures failures" >&2
    exit 1
  fi
  echo "$1: all checks passed"
}
