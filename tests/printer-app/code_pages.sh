#!/usr/bin/env bash
# rkvtps-printer-app with eight printers, each reading user names in a code
# page of its own (Thai, Japanese, Simplified and Traditional Chinese,
# Korean, Central European, Cyrillic, Western), each with its own device;
# a hundred jobs to every printer, all eight printers at once, from users
# whose names need one code page or another, some longer than the code
# type carries. Every header a device receives is the one its printer's
# settings give for the job's user, as the rkvtps tool makes it with that
# code page in its own environment: a code page that leaks from one printer
# into another's job shows as a header that differs.
#
# Usage: code_pages.sh BUILD_DIR
#
# Namespaces of its own, as printer_app.sh; time never decides the verdict.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../support/printer_app_env.sh
source "$here/../support/printer_app_env.sh"
app_env_enter "$1" "$0"
# shellcheck source=../support/printer_app_load.sh
source "$here/../support/printer_app_load.sh"

jobs_per_printer=100

# name | code page | owner code type | charset mask | tag column | tag row |
# separator | commands. The masks let each code page's own names through
# (0: the library's default, Japanese; 2: Latin-1 bytes, so a Polish "Ś",
# 0x8C in 1250, is refused); code type 4 sends this host's address too.
cat > "$tree/printers" << 'EOF'
cp874|874|1|4|1|5|LF|JOAU-CNAM-HOAD-NLPP
cp932|932|3|0|2|7|LF|JOAU-CNAM-HOAD-NLPP
cp936|936|2|4|1|5|LF|JOAU-CNAM-HOAD-NLPP
cp949|949|5|4|1|5|LF|JOAU-CNAM-HOAD-NLPP
cp950|950|1|4|1|5|CRLF|JOAU-CNAM-HOAD-NLPP
cp1250|1250|4|2|3|2|LF|JOAU-CNAM-HOAD-NLPP
cp1251|1251|2|4|1|5|LF|NLPP-JOAU-CNAM
cp1252|1252|1|3|1|5|LF|JOAU-CNAM-HOAD-NLPP
EOF

# Names of each language, short and longer than the code types carry (a
# single-byte character in front moves where a double-byte cut falls), and
# the code pages each is written in.
cat > "$tree/users" << 'EOF'
ann *
สมชาย 874
สมชายใจดีมีสุขมากมายหลายอย่างเสมอไป 874
山田太郎 932
ｱ寿限無寿限無五劫の擦り切れ海砂利水魚 932
王小明 936
x中华人民共和国国务院办公厅秘书处 936
陳大文 950
中華民國臺灣省臺北市信義區市府路 950
김민준 949
대한민국서울특별시종로구세종대로이백구번지정부서울청사본관입니다 949
Zażółć 1250
Grzegorz-Brzęczyszczykiewicz 1250
Świętosław 1250
Дмитрий 1251
Александр-Константинович-Рождественский 1251
François 1250,1252
José-María-Núñez-Peña 1252
EOF
mapfile -t users < <(cut -d ' ' -f 1 "$tree/users")

port=$(free_port)
start_app "$port"
printers=()
declare -A device_port
while IFS='|' read -r name code_page code_type mask column row separator commands; do
  printers+=("$name")
  device_port[$name]=$(free_port)
  start_device "${device_port[$name]}" "$tree/devices/$name"
  add_printer "$name" "socket://127.0.0.1:${device_port[$name]}"
  "$app" modify -d "$name" -o rkvtps-code-page="$code_page" -o rkvtps-owner-code-type="$code_type" \
    -o rkvtps-charset-mask="$mask" -o rkvtps-tag-column="$column" -o rkvtps-tag-row="$row" \
    -o rkvtps-separator="$separator" -o rkvtps-commands="$commands" > /dev/null ||
    fail "$name: its settings were not taken"
done < "$tree/printers"

# Each printer says the code page it was given: a setting the application
# refused would leave every printer on its built-in one.
ipp_test attributes Get-Printer-Attributes << 'EOF'
  ATTR keyword requested-attributes rkvtps-code-page-default,rkvtps-code-page-supported
  STATUS successful-ok
}
EOF
while IFS='|' read -r name code_page _; do
  ipptool -T 10 -tv "$(uri "$name")" "$tree/attributes.test" > "$tree/log/$name.attributes" 2>&1 || true
  grep -qE "rkvtps-code-page-default \(integer\) = $code_page\$" "$tree/log/$name.attributes" ||
    fail "$name: its code page is not $code_page: $(grep code-page "$tree/log/$name.attributes" | tr '\n' ' ')"
done < "$tree/printers"
grep -qF "rkvtps-code-page-supported (1setOf integer) = 874,932,936,949,950,1250,1251,1252,1253,1254,1255,1256,1257,1258" \
  "$tree/log/cp874.attributes" || fail "the code pages a printer may name are not the fourteen ANSI ones"

# A test file of a hundred jobs for each printer, its users taking turns
# (each printer starts at another user); the manifest names each job's
# document and user.
load_manifest=$tree/code_pages.manifest
for index in "${!printers[@]}"; do
  name=${printers[$index]}
  : > "$tree/$name.test"
  for job in $(seq "$jobs_per_printer"); do
    user=${users[$(((index + job) % ${#users[@]}))]}
    load_make_doc "$name-j$job" $((job * 13 % 200)) "$user" local
    load_job_test "$user" "$name-j$job" >> "$tree/$name.test"
  done
done

# All eight printers at once, one client each.
started=$(date +%s%N)
client_pids=()
for name in "${printers[@]}"; do
  ipptool -T 60 -t "$(load_printer_uri local "$port" "$name")" "$tree/$name.test" \
    > "$tree/log/$name.client" 2>&1 &
  client_pids+=($!)
done
for index in "${!printers[@]}"; do
  wait "${client_pids[$index]}" || fail "${printers[$index]}: a job was refused"
done
for name in "${printers[@]}"; do
  load_wait_done "$name" "$tree/devices/$name" "${device_port[$name]}" 120 ||
    fail "$name: jobs not done after 120 seconds"
done
echo "$((jobs_per_printer * ${#printers[@]})) jobs to ${#printers[@]} printers at once:" \
  "$((($(date +%s%N) - started) / 1000000)) ms"

# check_devices WHAT PRINTERS DEVICES: every connection in DEVICES/PRINTER
# of each of PRINTERS against the manifest (see code_pages_check.py); its
# summary in $tree/log/WHAT.summary.
check_devices() {
  python3 "$here/code_pages_check.py" "$tool" "$2" "$tree/users" "$3" "$tree/docs" \
    "$load_manifest" 2> "$tree/log/$1.summary"
}

while IFS= read -r problem; do
  fail "$problem"
done < <(check_devices devices "$tree/printers" "$tree/devices")
cat "$tree/log/devices.summary"

# Every job listed, and completed.
for name in "${printers[@]}"; do
  states=$("$app" jobs -d "$name" | awk '{ print $2 }' | sort | uniq -c | awk '{ print $2 " " $1 }')
  [ "$states" = "completed $jobs_per_printer" ] ||
    fail "$name: its jobs are $(tr '\n' ' ' <<< "$states")(expected $jobs_per_printer completed)"
done

# The checker itself: a header from another printer in place of a job's
# own is what a leaking code page makes, and it must say so.
cp -r "$tree/devices" "$tree/swapped"
python3 - "$tree/devices" "$tree/swapped" << 'EOF'
import sys
devices, swapped = sys.argv[1:3]
mark = b"RKLOAD "
def read(printer):
    with open("%s/%s/conn-1" % (devices, printer), "rb") as capture:
        data = capture.read()
    return data[:data.find(mark)], data[data.find(mark):]
thai, _ = read("cp874")
_, japanese_document = read("cp932")
with open("%s/cp932/conn-1" % swapped, "wb") as capture:
    capture.write(thai + japanese_document)
EOF
grep "^cp932|" "$tree/printers" > "$tree/swapped.printers"
swapped=$(check_devices swapped "$tree/swapped.printers" "$tree/swapped" |
  grep -c "^cp932/conn-1: .* header " || true)
[ "$swapped" = 1 ] || fail "the checker did not name a header from another printer"

app_env_finish "eight printers with eight code pages"
