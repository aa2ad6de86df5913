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
run "a refused text is sent as UnknownUser, with a warning" 0 \
  "^WARNING: rkvtps-filter: @JOAU=: the owner \"tab\\\\x09user\" was refused .*\"UnknownUser\" was sent" "" -- \
  1 "$(printf 'tab\tuser')" title 1 "RKOwnerCodeType=5 RKCommands=JOAU"
run "no PPD: built-in defaults" 0 "sending @NLPP=1" "" -- 1 guest1 title 1 "RKCommands=NLPP"

# What cupsd gives the first filter: the spool file and the copies. A file
# makes its copies behind one header; standard input is sent once. A later
# document of the job ("-002") gets no header of its own.
printf 'one document\n' > "$tree/d00042-001"
cp "$tree/d00042-001" "$tree/d00042-002"
printf '@NLPP=1\n' > "$tree/three-copies"
cat "$tree/d00042-001" "$tree/d00042-001" "$tree/d00042-001" >> "$tree/three-copies"
cat "$tree/d00042-001" "$tree/d00042-001" "$tree/d00042-001" > "$tree/later-document"
printf '@NLPP=1\n' | cat - "$tree/d00042-001" > "$tree/one-copy"
run "three copies of a spool file behind one header" 0 "8 bytes of commands, 39 bytes" \
  "$tree/three-copies" -- 42 guest1 title 3 "RKCommands=NLPP" "$tree/d00042-001"
run "the second document of a job: no header" 0 "document 2 of the job" "$tree/later-document" -- \
  42 guest1 title 3 "RKCommands=NLPP" "$tree/d00042-002"
input=$tree/d00042-001
run "copies from standard input: sent once" 0 "13 bytes of document" "$tree/one-copy" -- \
  42 guest1 title 3 "RKCommands=NLPP"
run "copies that are not a count: one" 0 "copies \"x\\\\x0APPD: a\" is not a count" "$tree/one-copy" -- \
  42 guest1 title "$(printf 'x\nPPD: a')" "RKCommands=NLPP"
input=/dev/null

# A PPD that cupsd names but that cannot be read stops the job before a
# byte is sent; a default that is none of its option's choices is reported
# and the built-in default used.
ppd_given=$ppd
ppd=$tree/missing.ppd
run "an unreadable PPD stops the job" 1 "^ERROR: rkvtps-filter: cannot read the queue's PPD .*nothing was sent" \
  /dev/null -- 1 guest1 title 1 ""
printf 'not a PPD\n' > "$tree/broken.ppd"
ppd=$tree/broken.ppd
run "a PPD that does not parse stops the job" 1 "^ERROR: rkvtps-filter: cannot read the queue's PPD .* on line 1" \
  /dev/null -- 1 guest1 title 1 ""
sed 's/^\*DefaultRKOwnerCodeType: .*/*DefaultRKOwnerCodeType: 7/' "$ppd_given" > "$tree/odd-default.ppd"
ppd=$tree/odd-default.ppd
printf '@JOAU=@guest1\n' > "$tree/built-in-owner"
run "a PPD default that is none of its choices" 0 \
  "^WARNING: rkvtps-filter: the PPD's default RKOwnerCodeType=7 is none of its choices" \
  "$tree/built-in-owner" -- 1 guest1 title 1 "RKCommands=JOAU"
ppd=$ppd_given

# SIGTERM, as cupsd cancels a job, while the filter waits for more of the
# document: an error and status 1, never success.
mkfifo "$tree/slow"
PPD=$ppd "$filter" 1 guest1 t 1 "" < "$tree/slow" > /dev/null 2> "$tree/err" &
pid=$!
exec 3> "$tree/slow"
printf 'some of the document' >&3
for _ in $(seq 100); do
  grep -q "sending @NLPP" "$tree/err" 2> /dev/null && break
  sleep 0.1
done
kill -TERM "$pid"
status=0
wait "$pid" || status=$?
exec 3>&-
echo "$status" > "$tree/status"
if [ "$(cat "$tree/status")" = 1 ] && grep -q "^ERROR: rkvtps-filter: stopped by SIGTERM" "$tree/err"; then
  pass "SIGTERM ends the filter with an error"
else
  fail "SIGTERM: status $(cat "$tree/status"), log $(cat "$tree/err")"
fi

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
