#!/usr/bin/env bash
# rkvtps-filter run as cupsd runs it, without cupsd: the cases a print
# server cannot easily stage (an empty document, a closed output, a bad
# command line, a 1 GiB job's memory, a command the library refuses).
#   tests/cups/filter_direct.sh FILTER PPD
set -euo pipefail

filter=$1 ppd=$2
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
failures=0
fail() {
  echo "FAIL $*"
  failures=$((failures + 1))
}
pass() { echo "ok   $*"; }

# run NAME STATUS STDERR-PATTERN EXPECTED-STDOUT-FILE -- filter arguments
# (standard input from $input): the exit status, the log and the output.
input=/dev/null
run() {
  local what=$1 status=$2 pattern=$3 expected=$4 got=0
  shift 5
  PPD=$ppd timeout 60 "$filter" "$@" < "$input" > "$tree/out" 2> "$tree/err" || got=$?
  if [ "$got" != "$status" ]; then
    fail "$what: exit status $got, expected $status; log: $(head -c 500 "$tree/err")"
  elif ! grep -qE "$pattern" "$tree/err"; then
    fail "$what: the log lacks /$pattern/: $(head -c 500 "$tree/err")"
  elif [ -n "$expected" ] && ! cmp -s "$tree/out" "$expected"; then
    fail "$what: the output is not what was expected: $(head -c 200 "$tree/out" | od -c | head -5)"
  else
    pass "$what"
  fi
}

printf '@JOAU=@guest1\n@NLPP=1\n' > "$tree/header-only"
head -c 300000 /dev/urandom > "$tree/document"
cat "$tree/header-only" "$tree/document" > "$tree/with-document"
cp "$tree/header-only" "$tree/empty-job"

opts="RKCommands=JOAU-NLPP"
run "an empty document from standard input" 0 "0 bytes of document" "$tree/empty-job" -- \
  1 guest1 title 1 "$opts"
run "a document named as the sixth argument" 0 "300000 bytes of document" "$tree/with-document" -- \
  1 guest1 title 1 "$opts" "$tree/document"
input=$tree/document
run "a document on standard input" 0 "300000 bytes of document" "$tree/with-document" -- \
  1 guest1 title 1 "$opts"
input=/dev/null
run "too few arguments" 1 "^Usage: " "" -- 1 guest1 title
run "too many arguments" 1 "^Usage: " "" -- 1 guest1 title 1 "" a b
run "a document that does not exist" 1 "^ERROR: rkvtps-filter: cannot open /nonexistent" "" -- \
  1 guest1 title 1 "" /nonexistent
run "a directory as the document" 1 "^ERROR: rkvtps-filter: cannot read the document" "" -- \
  1 guest1 title 1 "" /
run "a value the filter does not take" 0 "^WARNING: rkvtps-filter: RKOwnerCodeType=7 " "" -- \
  1 guest1 title 1 "RKOwnerCodeType=7"
run "a refused text is sent as UnknownUser" 0 "sending @JOAU=UnknownUser" "" -- \
  1 "$(printf 'tab\tuser')" title 1 "RKOwnerCodeType=5 RKCommands=JOAU"
run "no PPD: built-in defaults" 0 "sending @NLPP=1" "" -- 1 guest1 title 1 "RKCommands=NLPP"

# A command the library refuses is left out with its status; the job
# prints. Code type 255 needs this host's IPv4 address: a network
# namespace without one.
if unshare --net true 2> /dev/null; then
  got=0
  printf 'document' | PPD=$ppd unshare --net "$filter" 1 guest1 t 1 "RKOwnerCodeType=255" \
    > "$tree/out" 2> "$tree/err" || got=$?
  if [ "$got" = 0 ] && grep -q "^WARNING: rkvtps-filter: @JOAU= left out: the library answered RK_STATUS_" \
    "$tree/err" && ! grep -q "@JOAU=" "$tree/out" && grep -q "document$" "$tree/out"; then
    pass "a refused command is left out, the job still prints"
  else
    fail "a refused command: status $got, log $(cat "$tree/err")"
  fi
else
  echo "not run: a refused command (no network namespace here)"
fi

# The printer went away: the filter ends with ERROR: and status 1, at once.
set +e
head -c 50000000 /dev/zero | PPD=$ppd timeout 60 "$filter" 1 guest1 t 1 "" 2> "$tree/err" |
  head -c 10 > /dev/null
statuses=("${PIPESTATUS[@]}")
set -e
got=${statuses[1]}
if [ "$got" = 1 ] && grep -q "^ERROR: rkvtps-filter: cannot write to the printer: Broken pipe" "$tree/err"; then
  pass "a closed output ends the filter with an error"
else
  fail "a closed output: status $got, log $(cat "$tree/err")"
fi

# Memory stays bounded whatever the document's size: a 1 GiB job.
if [ -n "${RK_FILTER_SANITIZED:-}" ]; then
  echo "not run: the 1 GiB job's memory (a sanitizer's shadow memory would be counted)"
elif [ -x /usr/bin/time ]; then
  head -c 1073741824 /dev/zero | PPD=$ppd /usr/bin/time -f '%M' -o "$tree/rss" "$filter" 1 guest1 t 1 \
    "" 2> /dev/null | cmp -s - <(PPD=$ppd "$filter" 1 guest1 t 1 "" < /dev/null 2> /dev/null
    head -c 1073741824 /dev/zero) && same=yes || same=no
  rss=$(tail -n 1 "$tree/rss")
  if [ "$same" = yes ] && [ "$rss" -lt 16384 ]; then
    pass "a 1 GiB document passes unchanged in ${rss} KiB resident"
  else
    fail "a 1 GiB document: unchanged: $same, ${rss} KiB resident (at most 16384)"
  fi
else
  echo "not run: the 1 GiB job's memory (/usr/bin/time is missing)"
fi

[ "$failures" = 0 ] || { echo "$failures case(s) failed"; exit 1; }
echo "all cases passed"
