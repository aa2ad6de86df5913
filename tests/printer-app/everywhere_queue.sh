#!/usr/bin/env bash
# A CUPS queue made the driverless way (`lpadmin -m everywhere`) on a
# private cupsd, to two printers of the application: one whose device takes
# only PostScript, one whose device takes only PWG raster. A PDF printed
# with `lp` to each must reach each device as the commands, then one page in
# the device's own language.
#
# Usage: everywhere_queue.sh BUILD_DIR
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../support/printer_app_env.sh
source "$here/../support/printer_app_env.sh"
RK_APP_NEEDS="/usr/sbin/cupsd lp lpadmin lpstat gs" app_env_enter "$1" "$0"
[ -x /usr/lib/cups/filter/pdftopdf ] ||
  app_env_skip "cups-filters is missing: cupsd has no pdftopdf (scripts/install-deps.sh installs it)"
raster_io=$build/bin/rk_raster_io
[ -x "$raster_io" ] || app_env_skip "rk_raster_io was not built"

port=$(free_port)
start_app "$port"
# printer | device language | what the device's document must start with
queues=(
  "ps|application/postscript|%!"
  "pwg|image/pwg-raster|RaS2"
)
for entry in "${queues[@]}"; do
  IFS='|' read -r name language _ <<< "$entry"
  device_port=$(free_port)
  start_device "$device_port" "$tree/$name"
  add_printer "$name" "socket://127.0.0.1:$device_port"
  "$app" modify -d "$name" -o "rkvtps-document-formats=$language" > /dev/null ||
    fail "$name: the device's language could not be set to $language"
done

# cupsd with the system's filters (pdftopdf for a PDF to an everywhere queue)
# and its ipp backend; everything else of its own.
cups_port=$(free_port)
serverbin=$tree/cups/serverbin
# shellcheck source=../support/private_cupsd.sh
source "$here/../support/private_cupsd.sh"
fill_serverbin "$serverbin" /usr/lib/cups/filter
cups_socket=$tree/cups/cups.sock
start_private_cupsd "$tree/cups" "$serverbin" "$cups_socket" "$cups_port" || exit 1

gs -q -dSAFER -dBATCH -dNOPAUSE -sPAPERSIZE=a4 -sDEVICE=pdfwrite -sOutputFile="$tree/docs/page.pdf" \
  "$here/../support/test_page.ps"

# PRINTER's device's newest connection once it holds something; nothing
# once the application has ended the job otherwise.
wait_capture() {
  local capture
  for _ in $(seq 300); do
    capture=$(find "$tree/$1" -name 'conn-*' ! -name '*.*' -size +0 2> /dev/null | sort -V | tail -n 1)
    [ -n "$capture" ] && { echo "$capture"; return; }
    "$app" jobs -d "$1" | awk '$2 == "aborted" || $2 == "canceled" { found = 1 } END { exit !found }' &&
      return
    sleep 0.2
  done
}

for entry in "${queues[@]}"; do
  IFS='|' read -r name language start <<< "$entry"
  queue=everywhere-$name
  if ! add_everywhere_queue "$tree/cups" "$cups_socket" "$cups_port" "$queue" \
    "ipp://127.0.0.1:$port/ipp/print/$name" application/pdf; then
    fail "$queue: no queue"
    continue
  fi
  log_lines=$(wc -l < "$tree/log/app.log")
  lp -h "$cups_socket" -U ann -d "$queue" "$tree/docs/page.pdf" > /dev/null || { fail "$queue: lp"; continue; }
  capture=$(wait_capture "$name")
  # What cupsd made of the PDF for the application (Print-Job or Send-Document).
  sent=$(tail -n +$((log_lines + 1)) "$tree/log/app.log" |
    sed -n "s/.*\(Print-Job\|Send-Document\) \"document-format\"='\([^']*\)'.*/\2/p" | awk 'NR == 1')
  if [ -z "$capture" ]; then
    fail "$queue: nothing reached the $language device; the application's job: $("$app" jobs -d "$name")"
    grep -E "^[EW] " "$tree/cups/log/error_log" | tail -n 10 >&2 || true
    continue
  fi
  # The document starts at its signature; the commands are what comes before.
  offset=$(grep -boa -m 1 -F -- "$start" "$capture" | cut -d: -f1 | awk 'NR == 1' || true)
  if [ -z "$offset" ] || [ "$offset" = 0 ]; then
    fail "$queue: the device did not receive commands and then $language: $(head -c 60 "$capture" | od -c | awk 'NR <= 3')"
    continue
  fi
  head -c "$offset" "$capture" > "$capture.header"
  tail -c +$((offset + 1)) "$capture" > "$capture.doc"
  "$tool" decode --strict --file "$capture.header" > "$capture.decoded" 2>&1 ||
    fail "$queue: the commands do not decode strictly: $(head -c 300 "$capture.decoded")"
  grep -q 'owner "ann"' "$capture.decoded" || fail "$queue: the owner is not the lp user ann"
  case "$language" in
    application/postscript)
      pages=$(gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=bbox "$capture.doc" 2>&1 | grep -c "%%BoundingBox" || true)
      ;;
    image/pwg-raster)
      pages=$("$raster_io" decode "$capture.doc" "$capture.page" 2>&1 | awk '$1 == "pages" { print $2 }' || true)
      ;;
  esac
  [ "$pages" = 1 ] || fail "$queue: the $language document has ${pages:-no} pages, not 1"
  echo "$queue: cupsd sent ${sent:-an unnamed format}; the device received $offset bytes of commands," \
    "then $(stat -c %s "$capture.doc") bytes of $language, $pages page(s)"
done

app_env_finish "everywhere queues"
