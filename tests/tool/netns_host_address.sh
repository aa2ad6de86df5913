#!/bin/sh
# The host-address command and the code type 4 and 255 owners against real
# interfaces: each case makes a network and host-name namespace of its own
# (unshare --net --uts), gives it interfaces (veth pairs, as the dummy
# module may be missing) with chosen addresses, and runs the tool there.
# Nothing leaves the namespace; it goes away with its last process.
# Usage: netns_host_address.sh RKVTPS   (exit 77: namespaces unavailable)
set -u
tool=$1

if ! unshare --net --uts true 2>/dev/null; then
  echo "not run: network namespaces cannot be made here (unshare --net --uts needs root)"
  exit 77
fi

failures=0

# run_case NAME SETUP EXPECTED_HOAD EXPECTED_4_PART EXPECTED_255
#   SETUP: shell commands that make the interfaces (lo is up already)
#   EXPECTED_HOAD: the command, or "fail:STATUS"
#   EXPECTED_4_PART: the address part code type 4 must carry
#   EXPECTED_255: the address part for 255, or "fail:STATUS"
run_case() {
  name=$1 setup=$2 hoad=$3 part4=$4 part255=$5
  out=$(unshare --net --uts sh -c '
    hostname rkvtps-test
    # Only the addresses a case gives: no automatic IPv6 link-local ones.
    sysctl -qw net.ipv6.conf.default.addr_gen_mode=1 2>/dev/null
    ip link set lo up
    '"$setup"'
    sleep 0.2
    tool=$1
    # A command on standard output, or "rkvtps: STATUS" on standard error.
    r=$("$tool" host-address 2>&1); s=$?; echo "hoad=${r#rkvtps: }|$s"
    r=$("$tool" owner --code-type 4 guest1 2>/dev/null); echo "own4=$r"
    r=$("$tool" owner --code-type 255 guest1 2>&1); s=$?; echo "own255=${r#rkvtps: }|$s"
    r=$("$tool" owner --code-type 4 --address "$2" guest1 2>/dev/null); echo "want4=$r"
    r=$("$tool" owner --code-type 255 --address "$3" guest1 2>/dev/null); echo "want255=$r"
  ' sh "$tool" "$part4" "${part255#fail:}" 2>&1)
  got_hoad=$(echo "$out" | sed -n 's/^hoad=//p')
  own4=$(echo "$out" | sed -n 's/^own4=//p')
  want4=$(echo "$out" | sed -n 's/^want4=//p')
  own255=$(echo "$out" | sed -n 's/^own255=//p')
  want255=$(echo "$out" | sed -n 's/^want255=//p')
  case "$hoad" in
    fail:*) expected_hoad="${hoad#fail:}|1" ;;
    *) expected_hoad="$hoad|0" ;;
  esac
  case "$part255" in
    fail:*) expected_255="${part255#fail:}|1" ;;
    *) expected_255="$want255|0" ;;
  esac
  problems=""
  [ "$got_hoad" = "$expected_hoad" ] || problems="$problems host-address '$got_hoad', expected '$expected_hoad';"
  [ -n "$own4" ] && [ "$own4" = "$want4" ] || problems="$problems code type 4 '$own4', expected '$want4';"
  [ "$own255" = "$expected_255" ] || problems="$problems code type 255 '$own255', expected '$expected_255';"
  if [ -z "$problems" ]; then
    echo "ok   $name: $got_hoad"
  else
    echo "FAIL $name:$problems"
    echo "$out" | sed 's/^/     /'
    failures=$((failures + 1))
  fi
}

veth() {  # veth NAME ADDRESS...: a pair NAME/NAMEp, up, with the addresses on NAME
  n=$1
  shift
  printf 'ip link add %s type veth peer name %sp; ' "$n" "$n"
  for a in "$@"; do printf 'ip addr add %s dev %s nodad 2>/dev/null || ip addr add %s dev %s; ' "$a" "$n" "$a" "$n"; done
  printf 'ip link set %s up; ip link set %sp up; ' "$n" "$n"
}

run_case "one routable IPv4" "$(veth v0 192.0.2.5/24)" \
  "@HOAD=IC0000205" "~C0000205" "~C0000205"
run_case "link-local and routable on two interfaces" "$(veth v0 169.254.7.7/16)$(veth v1 192.0.2.9/24)" \
  "@HOAD=IC0000209" "~C0000209" "~C0000209"
run_case "link-local IPv4 only" "$(veth v0 169.254.7.7/16)" \
  "@HOAD=IA9FE0707" "~A9FE0707" "~A9FE0707"
run_case "IPv6 fd00::5 only" "$(veth v0 fd00::5/64)" \
  "@HOAD=6fd000000000000000000000000000005" "~        " "fail:RK_STATUS_LOOPBACK_ONLY"
run_case "IPv6 link-local only" "$(veth v0 fe80::5/64)" \
  "@HOAD=6fe800000000000000000000000000005" "~        " "fail:RK_STATUS_LOOPBACK_ONLY"
run_case "loopback only" "" \
  "fail:RK_STATUS_LOOPBACK_ONLY" "~        " "fail:RK_STATUS_LOOPBACK_ONLY"

[ "$failures" -eq 0 ] || { echo "$failures case(s) failed"; exit 1; }
echo "all cases passed"
