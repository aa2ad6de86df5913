#!/usr/bin/env bash
# The administrator in a real browser: headless Chromium over HTTPS to the
# non-loopback address changes the printer's owner code type (logged in as
# a PAM user of lpadmin that exists only in this namespace), a job then
# reaches the device with the owner in the new form; the same change
# without a login is refused and leaves the setting alone. Screenshots of
# the printer's page and its settings page go to BUILD_DIR/printer-app-screenshots.
#
# Usage: browser_admin.sh BUILD_DIR
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../support/printer_app_env.sh
source "$here/../support/printer_app_env.sh"
RK_APP_NEEDS="openssl /usr/bin/chromium /usr/bin/chromedriver" app_env_enter "$1" "$0"
# Debian's python3-selenium is the system Python's, whatever python3 comes
# first on the PATH.
system_python=/usr/bin/python3
"$system_python" -c 'import selenium' 2> /dev/null ||
  app_env_skip "python3-selenium is missing (scripts/install-deps.sh installs it)"
# shellcheck source=../support/admin_accounts.sh
source "$here/../support/admin_accounts.sh"
password=pw-$RANDOM$RANDOM
make_accounts "$password"
shots=$build/printer-app-screenshots
rm -rf "$shots"

port=$(free_port)
device_port=$(free_port)
start_device "$device_port" "$tree/device"
start_app "$port" auth-service="$pam_service"
add_printer cap "socket://127.0.0.1:$device_port"
base=https://192.0.2.20:$port

ipp_test code-type Get-Printer-Attributes << 'EOF'
  ATTR keyword requested-attributes rkvtps-owner-code-type-default
  STATUS successful-ok
  DISPLAY rkvtps-owner-code-type-default
}
EOF
code_type() {
  ipptool -T 10 -tv "ipp://127.0.0.1:$port/ipp/print/cap" "$tree/code-type.test" 2> /dev/null |
    awk '$1 == "rkvtps-owner-code-type-default" && !found { print $NF; found = 1 }'
}
# browser STEP ARGS...: browser_admin.py's verdict; a browser that cannot
# run skips the whole test.
browser() {
  local status=0
  "$system_python" "$here/browser_admin.py" "$1" "$base" cap 3 "$shots" "${@:2}" || status=$?
  [ "$status" -ne 77 ] || app_env_skip "the browser cannot run here"
  [ "$status" -eq 0 ] || fail "browser step $1"
}

[ "$(code_type)" = 1 ] || fail "the printer does not start with code type 1"
browser refused
[ "$(code_type)" = 1 ] || fail "without a login, the browser changed the code type"
browser change "$admin_user" "$password"
[ "$(code_type)" = 3 ] || fail "the administrator's change did not reach the printer ($(code_type))"

# A job now carries its owner in the new form.
cat > "$tree/print.test" << 'EOF'
{
  OPERATION Print-Job
  GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8
  ATTR naturalLanguage attributes-natural-language en
  ATTR uri printer-uri $uri
  ATTR name requesting-user-name ann
  ATTR mimeMediaType document-format application/pdf
  FILE $filename
  STATUS successful-ok
}
EOF
printf '%%PDF-1.4\n%% rkvtps browser test\ntrailer << >>\n%%%%EOF\n' > "$tree/doc.pdf"
ipptool -T 20 -t -f "$tree/doc.pdf" "ipp://192.0.2.20:$port/ipp/print/cap" "$tree/print.test" \
  > /dev/null 2>&1 || fail "the job after the change was refused"
capture=$tree/device/conn-1
for _ in $(seq 100); do [ -s "$capture" ] && break; sleep 0.2; done
size=$(stat -c %s "$tree/doc.pdf")
head -c $(($(stat -c %s "$capture" 2> /dev/null || echo 0) - size)) "$capture" > "$capture.header"
if "$tool" decode --strict --file "$capture.header" > "$capture.decoded" 2>&1; then
  grep -q 'owner "ann"' "$capture.decoded" || fail "the job's owner is not ann"
  grep -q 'code type 3' "$capture.decoded" || fail "the owner did not go out in the new form"
else
  fail "the device got no commands that decode"
  cat "$capture.decoded" >&2
fi
for shot in printer settings settings-refused; do
  [ -s "$shots/$shot.png" ] || fail "no screenshot $shot.png"
done

app_env_finish "administrator in a browser (screenshots in $shots)"
