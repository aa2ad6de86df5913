#!/usr/bin/env bash
# What each printer advertises follows its device's settings: a monochrome
# one-sided device and a colour duplex one with media of its own, a device
# that takes only PCL and one that takes only PDF. Every list is compared
# whole (what Get-Printer-Attributes answers), nothing claims a
# certification, and a setting changed while the server runs takes effect
# without a restart and is still in force after one.
#
# Usage: printer_capabilities.sh BUILD_DIR
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../support/printer_app_env.sh
source "$here/../support/printer_app_env.sh"
RK_APP_NEEDS="curl" app_env_enter "$1" "$0"

port=$(free_port)
start_app "$port"
mkdir -p "$tree"/{mono,color,pcl,pdf,odd}
add_printer mono "file://$tree/mono"
# The add subcommand sets no vendor settings: modify does.
add_printer color "file://$tree/color"
"$app" modify -d color -o rkvtps-device-color=color \
  -o rkvtps-device-sides=two-sided \
  -o rkvtps-device-media=iso_a5_148x210mm,iso_a4_210x297mm,A3,no_such_size,iso_a4_210x297mm \
  > /dev/null
add_printer pcl "file://$tree/pcl"
"$app" modify -d pcl -o rkvtps-document-formats=application/vnd.hp-PCL > /dev/null
add_printer pdf "file://$tree/pdf"
"$app" modify -d pdf -o rkvtps-document-formats=application/pdf > /dev/null
# A device language the application neither converts to nor passes through.
add_printer odd "file://$tree/odd"
"$app" modify -d odd -o rkvtps-document-formats=application/x-odd > /dev/null

ipp_test attributes Get-Printer-Attributes << 'EOF2'
  ATTR keyword requested-attributes all,media-col-database,mopria-certified,rkvtps-device-color-default,rkvtps-device-sides-default,rkvtps-device-media-default,rkvtps-owner-code-type-default,rkvtps-document-formats-default
  STATUS successful-ok
}
EOF2

# The attributes of printer $1, one "name (syntax) = values" line each.
read_attributes() {
  ipptool -T 10 -tv "ipp://localhost:$port/ipp/print/$1" "$tree/attributes.test" \
    > "$tree/log/$1.attributes" 2>&1 || true
}

# The values of attribute $2 of printer $1 as ipptool shows them, or
# "(none)".
value_of() {
  local line
  line=$(grep -E "^ +$2 \(" "$tree/log/$1.attributes" || true)
  if [ -z "$line" ]; then echo "(none)"; else echo "${line#* = }"; fi
}

# Waits (10 s at most) until attribute $2 of printer $1 reads $3: the
# capabilities follow a setting within a second.
wait_value() { retry 50 0.2 reads_value "$@"; }
# Whether attribute $2 of printer $1, read now, is $3.
reads_value() {
  read_attributes "$1"
  [ "$(value_of "$1" "$2")" = "$3" ]
}

driverless=application/pdf,application/postscript,image/pwg-raster,image/urf,image/jpeg,image/png
driverless=$driverless,application/octet-stream
mono_colour="auto,monochrome"
full_colour="auto,color,monochrome"
# printer | attribute | the whole value
expectations=(
  "mono|document-format-supported|$driverless,application/vnd.hp-PCL"
  "mono|document-format-preferred|application/pdf"
  "mono|color-supported|false"
  "mono|print-color-mode-supported|$mono_colour"
  "mono|print-color-mode-default|monochrome"
  "mono|sides-supported|one-sided"
  "mono|pwg-raster-document-type-supported|black_1,sgray_8"
  "mono|pwg-raster-document-resolution-supported|300dpi,600dpi"
  "mono|pwg-raster-document-sheet-back|normal"
  "mono|printer-resolution-supported|300dpi,600dpi"
  "mono|urf-supported|V1.5,W8,PQ3-4-5,FN3,IS1,MT1,OB10,RS300-600"
  "mono|media-supported|iso_a4_210x297mm,na_letter_8.5x11in"
  "mono|mopria-certified|(none)"
  "mono|identify-actions-supported|display"
  "mono|print-rendering-intent-supported|auto"
  "mono|printer-supply-description|Device supplies (not reported)"
  "color|document-format-supported|$driverless,application/vnd.hp-PCL"
  "color|color-supported|true"
  "color|print-color-mode-supported|$full_colour"
  "color|print-color-mode-default|monochrome"
  "color|sides-supported|one-sided,two-sided-long-edge,two-sided-short-edge"
  "color|pwg-raster-document-type-supported|black_1,sgray_8,srgb_8"
  "color|pwg-raster-document-sheet-back|normal"
  "color|urf-supported|V1.5,W8,SRGB24,PQ3-4-5,DM1,FN3,IS1,MT1,OB10,RS300-600"
  "color|media-supported|iso_a5_148x210mm,iso_a4_210x297mm"
  "color|media-default|iso_a4_210x297mm"
  "color|rkvtps-device-media-default|iso_a5_148x210mm,iso_a4_210x297mm,A3,no_such_size,iso_a4_210x297mm"
  "color|mopria-certified|(none)"
  "pcl|document-format-supported|$driverless,application/vnd.hp-PCL"
  "pdf|document-format-supported|$driverless"
  "odd|document-format-supported|application/octet-stream"
)

check_expectations() {
  local entry printer attribute expected actual
  for printer in mono color pcl pdf odd; do read_attributes "$printer"; done
  for entry in "${expectations[@]}"; do
    [ -n "$entry" ] || continue
    IFS='|' read -r printer attribute expected <<< "$entry"
    actual=$(value_of "$printer" "$attribute")
    [ "$actual" = "$expected" ] ||
      fail "$1: $printer's $attribute is \"$actual\", not \"$expected\""
  done
}

# The colour printer's settings are applied within a second of its creation.
wait_value color print-color-mode-supported "$full_colour" ||
  fail "the colour printer's setting was not applied"
check_expectations "as added"

# ---- A setting changed while the server runs --------------------------------
"$app" modify -d mono -o rkvtps-device-color=color -o rkvtps-device-sides=two-sided > /dev/null
wait_value mono print-color-mode-supported "$full_colour" ||
  fail "a changed colour setting took no effect without a restart"
[ "$(value_of mono sides-supported)" = "one-sided,two-sided-long-edge,two-sided-short-edge" ] ||
  fail "a changed sides setting took no effect: $(value_of mono sides-supported)"
# The change kept the printer's other settings.
"$app" modify -d mono -o rkvtps-owner-code-type=2 > /dev/null
wait_value mono rkvtps-owner-code-type-default 2 || fail "the owner code type was not set"
"$app" modify -d mono -o rkvtps-device-color=monochrome > /dev/null
wait_value mono print-color-mode-supported "$mono_colour" ||
  fail "colour could not be switched off again"
[ "$(value_of mono rkvtps-owner-code-type-default)" = 2 ] ||
  fail "applying the device's settings lost the owner code type"

# ---- And after a restart ----------------------------------------------------
kill "$app_pid"
wait "$app_pid" 2> /dev/null || true
start_app "$port"
# No waiting: the saved settings are applied before the server answers.
read_attributes mono
[ "$(value_of mono print-color-mode-supported)" = "$mono_colour" ] ||
  fail "after the restart mono's colour modes are $(value_of mono print-color-mode-supported)"
[ "$(value_of mono sides-supported)" = "one-sided,two-sided-long-edge,two-sided-short-edge" ] ||
  fail "after the restart mono's sides are $(value_of mono sides-supported)"
[ "$(value_of mono rkvtps-owner-code-type-default)" = 2 ] ||
  fail "after the restart mono's owner code type is $(value_of mono rkvtps-owner-code-type-default)"
expectations=("${expectations[@]/#mono|*/}")
check_expectations "after the restart"

# ---- The web form ------------------------------------------------------------
# It changes the setting and nothing else: no event tells the application.
token=$(curl -s --max-time 10 "http://localhost:$port/mono/" |
  sed -n 's/.*name="session" value="\([0-9a-f]*\)".*/\1/p' | head -n 1)
code=$(curl -s --max-time 10 -o "$tree/log/form.html" -w '%{http_code}' \
  --data-urlencode "session=$token" --data-urlencode "rkvtps-device-sides=one-sided" \
  "http://localhost:$port/mono/printing") || code=none
case $code in 200 | 302) ;; *) fail "the printing defaults form answered $code" ;; esac
wait_value mono sides-supported one-sided ||
  fail "a sides setting changed on the web page took no effect: $(value_of mono sides-supported)"

app_env_finish "printer capabilities"
