#!/usr/bin/env bash
# The printer application's web interface, every page: from this machine
# and from a remote address, in each language PAPPL ships and with none, GET
# only (web_crawl.py). No page may kill the server or answer with less than a
# whole response or a server error; the printer's own settings carry their
# labels. Afterwards the server still answers, its process alive.
#
# Usage: web_crawl.sh BUILD_DIR
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../support/printer_app_env.sh
source "$here/../support/printer_app_env.sh"
app_env_enter "$1" "$0"

port=$(free_port)
device_port=$(free_port)
start_device "$device_port" "$tree/device"
start_app "$port"
add_printer crawl "socket://127.0.0.1:$device_port"

python3 "$here/web_crawl.py" "$port" crawl > "$tree/log/crawl.out" 2>&1 || true
cat "$tree/log/crawl.out"
grep -q "^web crawl: " "$tree/log/crawl.out" || fail "the crawler did not finish"
grep -q "^FAIL: " "$tree/log/crawl.out" && fail "some pages failed (above)"

kill -0 "$app_pid" 2> /dev/null || fail "the server process is gone"
grep -qE "SIGSEGV|Segmentation" "$tree/log/app.log" && fail "the server crashed"
status=$(curl -s -o /dev/null -w '%{http_code}' --max-time 10 "http://127.0.0.1:$port/" || true)
[ "$status" = 200 ] || fail "after the crawl, / answers $status"

app_env_finish "web interface"
