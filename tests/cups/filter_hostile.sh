#!/usr/bin/env bash
# rkvtps-filter against hostile jobs, run as cupsd runs it: users, client
# names and option values that try to add commands, control bytes or
# printer-language lines to the header, or lines to cupsd's reading of the
# filter's messages. For every code type, charset mask and separator:
#  - the output is the header and then the document, unchanged;
#  - each header line is one command ("@", four capitals, "=") with no
#    control byte and no second command start, and the header decodes
#    with `rkvtps decode --strict`;
#  - every line of the log starts with a level cupsd knows and this
#    filter's name, so no job text becomes a "PPD:", "ATTR:" or "STATE:"
#    line.
#   tests/cups/filter_hostile.sh FILTER PPD TOOL
set -euo pipefail

filter=$1 ppd=$2 tool=$3
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
failures=0 cases=0
fail() {
  echo "FAIL $*"
  failures=$((failures + 1))
}

printf 'DOCUMENT\x1b%%-12345X@PJL EOJ\r\n' > "$tree/document"

# A value in single quotes for the options argument, as cupsd writes it.
quote() {
  local value=${1//\\/\\\\}
  printf "'%s'" "${value//\'/\\\'}"
}

# check WHAT SEPARATOR USER OPTIONS: one run of the filter and every
# property above.
check() {
  local what=$1 separator=$2 user=$3 options=$4 status=0
  cases=$((cases + 1))
  PPD=$ppd timeout 30 "$filter" 7 "$user" title 1 "$options" < "$tree/document" \
    > "$tree/out" 2> "$tree/err" || status=$?
  if [ "$status" != 0 ]; then
    fail "$what: exit status $status: $(head -c 300 "$tree/err")"
    return
  fi
  local size document_size
  size=$(stat -c %s "$tree/out")
  document_size=$(stat -c %s "$tree/document")
  if [ "$size" -lt "$document_size" ] ||
    ! cmp -s <(tail -c "$document_size" "$tree/out") "$tree/document"; then
    fail "$what: the document did not arrive unchanged"
    return
  fi
  head -c $((size - document_size)) "$tree/out" > "$tree/header"
  if [ -s "$tree/header" ] && ! "$tool" decode --strict "$tree/header" > /dev/null 2> "$tree/decode"; then
    fail "$what: decode --strict refuses the header: $(head -c 300 "$tree/decode")"
    return
  fi
  if [ "$separator" != None ]; then
    local sep=$'\n'
    [ "$separator" = CRLF ] && sep=$'\r\n'
    # Each command and its separator, nothing else: a line is one command.
    if ! LC_ALL=C awk -v RS="$sep" -v ORS="" '
        { if ($0 !~ /^@[A-Z][A-Z][A-Z][A-Z]=/) bad = 1
          rest = substr($0, 7)
          if (rest ~ /[\001-\037\177]/ || rest ~ /@[A-Z][A-Z][A-Z][A-Z]=/) bad = 1 }
        END { exit bad }' "$tree/header"; then
      fail "$what: a header line is not one clean command: $("$tool" decode --lenient --escape "$tree/header" 2>&1 | head -c 400)"
      return
    fi
    if [ -s "$tree/header" ] && ! cmp -s <(tail -c ${#sep} "$tree/header") <(printf %s "$sep"); then
      fail "$what: the header does not end with its separator"
      return
    fi
  fi
  # cupsd reads what passes 4 KiB of a line as a line of its own.
  if LC_ALL=C awk 'length > 4000 { found = 1 } END { exit !found }' "$tree/err"; then
    fail "$what: a log line long enough for cupsd to split"
  fi
  if LC_ALL=C grep -qvE '^(ERROR|WARNING|INFO|DEBUG): rkvtps-filter: ' "$tree/err"; then
    fail "$what: a log line of the job's making: $(LC_ALL=C grep -vE '^(ERROR|WARNING|INFO|DEBUG): rkvtps-filter: ' "$tree/err" | head -n 3 | od -c | head -n 5)"
  fi
}

# shellcheck source=../support/hostile_job_text.sh
source "$(dirname "$0")/../support/hostile_job_text.sh"
option_names=(RKClient RKCommands RKNup RKOwnerCodeType RKCodePage RKSeparator RKTagColumn
  RKTagRow RKCharsetMask number-up)

for code_type in 1 2 3 4 5 255; do
  for mask in 0 65535; do
    for separator in LF CRLF None; do
      base="RKOwnerCodeType=$code_type RKCharsetMask=$mask RKSeparator=$separator"
      for user in "${hostile_users[@]}"; do
        check "user $(printf %q "$user") ($base)" "$separator" "$user" \
          "$base job-originating-host-name=192.0.2.7"
      done
      for client in "${hostile_clients[@]}"; do
        check "client $(printf %q "$client") ($base)" "$separator" ann \
          "$base job-originating-host-name=$(quote "$client")"
      done
    done
  done
done
for name in "${option_names[@]}"; do
  check "option $name with line breaks" LF ann "RKSeparator=LF $name=$(quote "$hostile_payload")"
done
check "an option name with line breaks" LF ann "$(quote "$hostile_payload")=1 RKSeparator=LF"
long_value="$(printf 'v%.0s' $(seq 4070))PPD: DefaultRKCommands=None"
for name in RKNup RKClient job-originating-host-name; do
  check "option $name long enough to split a log line" LF ann "RKSeparator=LF $name=$long_value"
done

echo "$cases hostile jobs, $failures failed"
[ "$failures" = 0 ]
