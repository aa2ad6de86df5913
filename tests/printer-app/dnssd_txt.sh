#!/usr/bin/env bash
# The printers' DNS-SD records as a client on the network finds them: a real
# avahi-daemon, on a system bus of its own (dbus-daemon), inside the test's
# network and mount namespaces, announces what the application registers,
# and avahi-browse reads it back. The _ipp._tcp TXT record must carry pdl
# with Apple and PWG raster and PDF (an iPhone shows no printer without
# image/urf), a URF key, Color and Duplex as the device's settings say, and
# no claim of certification; a changed setting is announced again.
#
# Usage: dnssd_txt.sh BUILD_DIR
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../support/printer_app_env.sh
source "$here/../support/printer_app_env.sh"
RK_APP_NEEDS="avahi-daemon avahi-browse dbus-daemon" app_env_enter "$1" "$0"

# The announcements go out on an interface of the namespace's own (a veth
# pair whose both ends are here): avahi leaves loopback alone, and nothing
# leaves the namespace. The system bus is in the private /run, where avahi
# and libavahi-client look.
env_link rkmdns rkmdns-peer 192.0.2.30/24
start_system_bus
start_avahi rkvtps-app rkmdns

port=$(free_port)
start_app "$port"
mkdir -p "$tree"/{mono,color}
add_printer mono "file://$tree/mono"
# The add subcommand sets no vendor settings: modify does.
add_printer color "file://$tree/color"
"$app" modify -d color -o rkvtps-device-color=color \
  -o rkvtps-device-sides=two-sided > /dev/null

# The resolved _ipp._tcp record of printer $1, one TXT item a line, in
# $tree/log/$1.txt.
read_record() {
  avahi-browse -rtp _ipp._tcp > "$tree/log/browse.out" 2> "$tree/log/browse.err" || true
  python3 - "$1" "$tree/log/browse.out" > "$tree/log/$1.txt" << 'EOF2'
import re, sys
name, path = sys.argv[1], sys.argv[2]
for line in open(path, encoding="utf-8", errors="replace"):
    fields = line.rstrip("\n").split(";")
    # =;interface;protocol;name;type;domain;host;address;port;txt
    if len(fields) >= 10 and fields[0] == "=" and fields[3] == name:
        for item in re.findall(r'"((?:[^"\\]|\\.)*)"', ";".join(fields[9:])):
            print(item)
        break
EOF2
}

item() { grep -E "^$2=" "$tree/log/$1.txt" | head -n 1 | cut -d= -f2- || true; }

# Whether printer $1's record, read now, has $2=$3.
record_has() {
  read_record "$1"
  [ "$(item "$1" "$2")" = "$3" ]
}
# Waits (20 s at most) until printer $1's record has $2=$3.
wait_item() { retry 40 0.5 record_has "$@"; }

# printer | key | the whole value ("(none)": no such key)
expectations=(
  "mono|Color|F"
  "mono|Duplex|F"
  "mono|URF|V1.5,W8,PQ3-4-5,FN3,IS1,MT1,OB10,RS300-600"
  "mono|mopria-certified|(none)"
  "color|Color|T"
  "color|Duplex|T"
  "color|URF|V1.5,W8,SRGB24,PQ3-4-5,DM1,FN3,IS1,MT1,OB10,RS300-600"
  "color|mopria-certified|(none)"
)

check_records() {
  local entry printer key expected actual format
  for entry in "${expectations[@]}"; do
    IFS='|' read -r printer key expected <<< "$entry"
    actual=$(item "$printer" "$key")
    grep -qE "^$key=" "$tree/log/$printer.txt" || actual="(none)"
    [ "$actual" = "$expected" ] ||
      fail "$1: $printer's TXT $key is \"$actual\", not \"$expected\""
  done
  for printer in mono color; do
    for format in image/urf image/pwg-raster application/pdf; do
      case ",$(item "$printer" pdl)," in
        *",$format,"*) ;;
        *) fail "$1: $printer's pdl \"$(item "$printer" pdl)\" lacks $format" ;;
      esac
    done
  done
}

wait_item color Color T || fail "the colour printer was not announced in colour"
read_record mono
[ -s "$tree/log/mono.txt" ] || { cat "$tree/log/browse.out" "$tree/log/browse.err" >&2; fail "mono was not announced"; }
check_records "as added"
echo "mono's record: $(tr '\n' ' ' < "$tree/log/mono.txt")"

# A changed setting is announced again, without a restart.
"$app" modify -d mono -o rkvtps-device-color=color -o rkvtps-device-sides=two-sided > /dev/null
wait_item mono Color T || fail "mono's record kept Color=$(item mono Color) after the change"
[ "$(item mono Duplex)" = T ] || fail "mono's record kept Duplex=$(item mono Duplex) after the change"

# The application first: it reports a daemon that leaves before it as crashed.
kill "$app_pid"
wait "$app_pid" 2> /dev/null || true
app_env_finish "DNS-SD records through avahi-daemon"
