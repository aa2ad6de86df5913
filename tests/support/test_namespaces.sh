# What every test that starts servers stands on: network, mount, host-name
# and process namespaces of its own, loopback, links whose both ends are
# here, private folders, a temporary tree whose processes all stop on exit,
# free ports, and a private system bus with avahi-daemon on it. Sourced by
# tests/support/printer_app_env.sh and tests/cups/end_to_end.sh.
# shellcheck shell=bash

# env_skip REASON: not run (77), or a failure where CI requires every test
# to run (RK_REQUIRE_CUPS).
env_skip() {
  echo "SKIP: $*"
  [ -z "${RK_REQUIRE_CUPS:-}" ] || exit 1
  exit 77
}

# env_need PROGRAM...: skips unless each is there.
env_need() {
  local program
  for program in "$@"; do
    command -v "$program" > /dev/null ||
      env_skip "$program is missing (scripts/install-deps.sh installs it)"
  done
}

# env_can_enter: whether namespaces can be made here (root, unshare).
env_can_enter() {
  [ "$(id -u)" = 0 ] && unshare --net --mount --uts --pid --fork --mount-proc true 2> /dev/null
}

# env_enter HOST SCRIPT ARGS...: outside, re-runs SCRIPT ARGS in namespaces
# of its own (skips where none can be made). In a process namespace of its
# own, whatever the script started ends with it, even when it is killed
# outright and its trap cannot run. Inside, names the host HOST and brings
# loopback up.
env_enter() {
  local host=$1 script=$2
  shift 2
  if [ -z "${RK_TEST_NAMESPACE:-}" ]; then
    env_can_enter || env_skip "cannot make network, mount and process namespaces here (root?)"
    RK_TEST_NAMESPACE=1 exec unshare --net --mount --uts --pid --fork --mount-proc --kill-child \
      "$script" "$@"
  fi
  hostname "$host"
  ip link set lo up
}

# env_private_folders FOLDER...: an empty tmpfs on each, seen in this mount
# namespace only.
env_private_folders() {
  local folder
  for folder in "$@"; do
    mkdir -p "$folder"
    mount -t tmpfs tmpfs "$folder"
  done
}

# env_link NAME PEER ADDRESS: a veth pair whose both ends are here, up, NAME
# with ADDRESS: an interface that is not loopback (which avahi and a
# machine's own discovery leave alone) from which nothing leaves.
env_link() {
  ip link add "$1" type veth peer name "$2"
  ip addr add "$3" dev "$1"
  ip link set "$1" multicast on up
  ip link set "$2" up
}

# env_client LINK PEER ADDRESS CLIENT_ADDRESS: a client that is not this
# machine: PEER, the other end of env_link's LINK, moved to a network
# namespace of its own, rkclient, made inside this one (its name lives on
# the private /run), sending over IPv6 from CLIENT_ADDRESS to ADDRESS on
# LINK. nodad: the addresses work at once, with no wait for duplicate
# detection. Fails, changing nothing, where IPv6 or named namespaces are
# not to be had.
env_client() {
  local link=$1 peer=$2 address=$3 client_address=$4
  ip -6 addr add "$address" dev "$link" nodad 2> /dev/null && ip netns add rkclient 2> /dev/null ||
    return 1
  env_cleanups+=("ip netns delete rkclient")
  ip link set "$peer" netns rkclient
  ip netns exec rkclient ip link set lo up
  ip netns exec rkclient ip -6 addr add "$client_address" dev "$peer" nodad
  ip netns exec rkclient ip link set "$peer" up
}

# env_tree NAME: a temporary tree, $tree, on the private /run, readable by
# all (cupsd runs filters as lp from it), with log/ and docs/. Processes
# started go in `pids`, commands to run at the end in `env_cleanups`; on
# every exit each process is stopped and waited for, then the tree removed
# (copied to RK_APP_KEEP first where that names a folder). A command that
# stops the script under "set -e" says which it was.
env_tree() {
  set -E
  trap 'env_died $? "$LINENO" "$BASH_COMMAND"' ERR
  tree=$(mktemp -d "/run/$1.XXXXXX")
  chmod 755 "$tree"
  mkdir -p "$tree/log" "$tree/docs"
  pids=()
  env_cleanups=()
  trap env_stop_all EXIT
  trap 'exit 1' INT TERM
}

env_died() {
  echo "FAIL: ${BASH_SOURCE[2]:-$0} line $2: \"$3\" exited $1" >&2
}

env_stop_all() {
  local pid cleanup
  for pid in "${pids[@]}"; do kill "$pid" 2> /dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2> /dev/null || true; done
  for cleanup in "${env_cleanups[@]}"; do $cleanup 2> /dev/null || true; done
  [ -z "${RK_APP_KEEP:-}" ] || cp -r "$tree" "$RK_APP_KEEP" 2> /dev/null || true
  rm -rf "$tree"
}

free_port() {
  local port
  for port in $(shuf -i 20000-29999 -n 50); do
    ss -Hltn "sport = :$port" | grep -q . || { echo "$port"; return; }
  done
  return 1
}

# start_system_bus: a D-Bus system bus for anyone on the private /run, where
# avahi-daemon and libavahi-client look; its log in $tree/log/dbus.log.
start_system_bus() {
  mkdir -p /run/dbus "$tree/dbus"
  cat > "$tree/dbus/system.conf" << 'EOF'
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=/run/dbus/system_bus_socket</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*"/>
    <allow receive_sender="*"/>
  </policy>
</busconfig>
EOF
  export DBUS_SYSTEM_BUS_ADDRESS=unix:path=/run/dbus/system_bus_socket
  dbus-daemon --config-file="$tree/dbus/system.conf" --nofork --nopidfile > "$tree/log/dbus.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 50); do [ -S /run/dbus/system_bus_socket ] && break; sleep 0.1; done
  [ -S /run/dbus/system_bus_socket ] || { echo "FAIL: no system bus" >&2; exit 1; }
}

# start_avahi HOST [INTERFACE]: avahi-daemon on the system bus as HOST,
# IPv4 only, on INTERFACE alone where one is named, publishing nothing of
# the machine's own; waits until it has started. Its log in
# $tree/log/avahi.log.
start_avahi() {
  mkdir -p "$tree/avahi"
  {
    printf '%s\n' "[server]" "host-name=$1" "use-ipv4=yes" "use-ipv6=no" "enable-dbus=yes"
    [ -z "${2:-}" ] || printf 'allow-interfaces=%s\n' "$2"
    printf '%s\n' "[wide-area]" "enable-wide-area=no" "[publish]" "publish-hinfo=no" \
      "publish-workstation=no"
  } > "$tree/avahi/avahi-daemon.conf"
  /usr/sbin/avahi-daemon -f "$tree/avahi/avahi-daemon.conf" --no-drop-root --no-chroot \
    --no-rlimits > "$tree/log/avahi.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do
    grep -q "Server startup complete" "$tree/log/avahi.log" && return 0
    sleep 0.1
  done
  cat "$tree/log/avahi.log" >&2
  echo "FAIL: avahi-daemon did not start" >&2
  exit 1
}
