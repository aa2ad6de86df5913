#!/bin/sh
# The one way this project starts a Windows program: the cross builds' test
# emulator, and what the CI, the consumer test and the test scripts call.
#
#   wine-run.sh PROGRAM [ARGS...]  runs PROGRAM (an .exe, or a program Wine
#                                  itself provides, such as reg)
#   wine-run.sh --setup            decides how x86 programs run on this
#                                  machine, sets up the emulation when it
#                                  must, makes the prefix, and prints one line
#                                  saying which mode the x86 programs run in
#   wine-run.sh --x86-mode         prints native, emulated or none
#   wine-run.sh --setup-arm64      fetches Wine for ARM64 when it is not
#                                  cached, sets up the emulation, makes the
#                                  ARM64 prefix, and prints the mode and the
#                                  time each part took
#   wine-run.sh --stop             stops the wineservers of both prefixes
#
# The loader follows the program's PE machine type. An x64 program goes to
# the 64-bit loader directly: Debian's `wine` starts the 32-bit loader first,
# and that fails on kernels that cannot execute 32-bit programs. An x86
# program goes to the 32-bit loader, which runs natively, or through
# qemu-user registered for i386 ELF binaries with binfmt_misc.
#
# An ARM64 program goes to Debian's own Wine for arm64 (wine64:arm64 and the
# packages it depends on), fetched with an APT configuration of this
# script's own (its own sources, lists, cache and an empty package status,
# so the system gains no foreign architecture), unpacked with dpkg-deb into
# a cache folder, and run through qemu-aarch64 registered with binfmt_misc
# where the kernel cannot execute aarch64 programs (every process Wine
# starts is an aarch64 program too). Its wineserver wrapper script is
# pointed at the aarch64 wineserver64: as shipped it would start the host's
# amd64 wineserver, which refuses an aarch64 client. ARM64 programs get a
# prefix of their own: one prefix serves one Wine.
#
# Environment:
#   WINEPREFIX             the prefix; default ${TMPDIR:-/tmp}/rkvtps32-wine-UID,
#                          made with the 64-bit loader when missing
#   RK_WINE_TIMEOUT        seconds a program may take (default 600); on
#                          expiry its whole process group is stopped
#   RKVTPS32_X86_EMULATION 1: run x86 programs emulated even where the kernel
#                          runs them natively (a binfmt_misc handler is
#                          consulted before the kernel's own loader)
#   RKVTPS32_WINE_ARM64_DIR  where Wine for ARM64 is cached; default
#                          ${XDG_CACHE_HOME:-$HOME/.cache}/rkvtps32/wine-arm64
#   RKVTPS32_WINE_ARM64_PREFIX  the ARM64 prefix; default $WINEPREFIX-arm64
#   RKVTPS32_DEBIAN_MIRROR the Debian mirror (default http://deb.debian.org/debian)
#
# Exit status: the program's; 124 when it hung and was stopped; 77, with a
# "not run" line, when it is an x86 program and this machine can run none
# (CTest reports such a test as not run, never as passed); the same for an
# ARM64 program when Wine for ARM64 cannot be fetched or run here.
set -u

wine_dir=/usr/lib/wine
loader64=$wine_dir/wine64
loader32=$wine_dir/wine
binfmt=/proc/sys/fs/binfmt_misc
handler=$binfmt/rkvtps32-i386
# The ELF header of an i386 executable, and which of its bits matter: the
# values qemu's own binfmt configuration uses.
i386_magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
i386_mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
i386_magic_hex=7f454c4601010100000000000000000002000300
# Wine maps its shared user data at 0x7ffe0000; qemu must reserve the
# guest's address space for that to succeed.
qemu_reserved_va=0xffff0000
boot_reserved_va=$qemu_reserved_va
aedebug_key='HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug'
# The same for aarch64 ELF executables (static and position-independent).
aarch64_magic='\x7fELF\x02\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\xb7\x00'
aarch64_mask='\xff\xff\xff\xff\xff\xff\xff\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
aarch64_magic_hex=7f454c460201010000000000000000000200b700
arm64_cache=${RKVTPS32_WINE_ARM64_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/rkvtps32/wine-arm64}
arm64_root=$arm64_cache/root
arm64_loader=$arm64_root/usr/lib/wine/wine64
arm64_server=$arm64_root/usr/lib/wine/wineserver64

: "${WINEPREFIX:=${TMPDIR:-/tmp}/rkvtps32-wine-$(id -u)}"
: "${WINEDEBUG:=-all}"
# A crash must never start Wine's debugger: it waits for a user and keeps
# the test's output pipe open.
WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}winedbg.exe=d"
export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES

say() { echo "wine-run: $*" >&2; }

# An enabled binfmt_misc handler that sends ELF binaries with the magic $2
# to an interpreter matching $1 (an extended regular expression); by
# default qemu-i386 for i386.
emulation_handler() {
  interpreter=${1:-qemu-i386} magic=${2:-$i386_magic_hex}
  [ -d "$binfmt" ] || return 1
  for entry in "$binfmt"/*; do
    case "$entry" in */register | */status) continue ;; esac
    [ -f "$entry" ] || continue
    grep -qx enabled "$entry" 2>/dev/null || continue
    grep -Eq "^interpreter .*($interpreter)" "$entry" 2>/dev/null || continue
    grep -qx "magic $magic" "$entry" 2>/dev/null || continue
    echo "$entry"
    return 0
  done
  return 1
}

runs_i386() { /lib/ld-linux.so.2 --version >/dev/null 2>&1; }

x86_mode() {
  if emulation_handler >/dev/null; then
    echo emulated
  elif runs_i386; then
    echo native
  else
    echo none
  fi
}

# Registers qemu-i386 for i386 ELF binaries (or, with arguments, QEMU as
# handler NAME for MAGIC under MASK). Prints the reason and fails when it
# cannot.
register_emulation() {
  qemu_name=${1:-qemu-i386} entry_name=${2:-rkvtps32-i386}
  magic=${3:-$i386_magic} mask=${4:-$i386_mask}
  qemu=$(command -v "$qemu_name") || { echo "$qemu_name is not installed (scripts/install-deps.sh --windows)"; return 1; }
  [ "$(id -u)" -eq 0 ] || { echo "registering binfmt_misc needs root"; return 1; }
  if [ ! -w "$binfmt/register" ]; then
    mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null ||
      { echo "binfmt_misc cannot be mounted at $binfmt"; return 1; }
  fi
  if [ -f "$binfmt/$entry_name" ]; then
    echo 1 > "$binfmt/$entry_name" 2>/dev/null || { echo "cannot enable $binfmt/$entry_name"; return 1; }
    return 0
  fi
  # O: qemu opens the binary itself; C: credentials from the binary;
  # F: qemu is opened now, so the handler works in any mount namespace.
  printf '%s' ":$entry_name:M::$magic:$mask:$qemu:OCF" > "$binfmt/register" 2>/dev/null ||
    { echo "binfmt_misc refused the registration"; return 1; }
}

# Sets `mode` and `why` for this machine, setting up the emulation when the
# kernel cannot run 32-bit programs or when it is asked for.
decide_x86_mode() {
  # Our own handler from an earlier forced run must not hide a native kernel.
  [ -f "$handler" ] && [ "${RKVTPS32_X86_EMULATION:-0}" != 1 ] && echo 0 > "$handler" 2>/dev/null
  if [ "${RKVTPS32_X86_EMULATION:-0}" != 1 ] && ! emulation_handler >/dev/null && runs_i386; then
    mode=native why="this kernel executes 32-bit programs"
    return
  fi
  if emulation_handler >/dev/null; then
    mode=emulated why="qemu-i386 through binfmt_misc ($(emulation_handler))"
    return
  fi
  if reason=$(register_emulation) && emulation_handler >/dev/null; then
    if [ "${RKVTPS32_X86_EMULATION:-0}" = 1 ]; then
      mode=emulated why="qemu-i386 through binfmt_misc, forced by RKVTPS32_X86_EMULATION=1"
    else
      mode=emulated why="qemu-i386 through binfmt_misc: this kernel cannot execute 32-bit programs"
    fi
    return
  fi
  mode=none why="this kernel cannot execute 32-bit programs and the emulation cannot be set up: ${reason:-no handler}"
}

runs_aarch64() { [ "$(uname -m)" = aarch64 ]; }

aarch64_handler() { emulation_handler 'qemu-aarch64|aarch64-binfmt' "$aarch64_magic_hex"; }

# Sets `mode` (native, emulated or none) and `why` for ARM64 programs,
# registering qemu-aarch64 when the kernel needs it.
decide_arm64_mode() {
  if runs_aarch64; then
    mode=native why="this kernel executes aarch64 programs"
  elif aarch64_handler >/dev/null; then
    mode=emulated why="qemu-aarch64 through binfmt_misc ($(aarch64_handler))"
  elif reason=$(register_emulation qemu-aarch64 rkvtps32-aarch64 "$aarch64_magic" "$aarch64_mask") &&
    aarch64_handler >/dev/null; then
    mode=emulated why="qemu-aarch64 through binfmt_misc: this kernel cannot execute aarch64 programs"
  else
    mode=none why="this kernel cannot execute aarch64 programs and the emulation cannot be set up: ${reason:-no handler}"
  fi
}

# Debian's Wine for arm64, unpacked into $arm64_root once; later calls find
# it there. Prints the reason and fails when it cannot be had.
fetch_arm64_wine() {
  [ -f "$arm64_root/.complete" ] && return 0
  mkdir -p "$arm64_cache" 2>/dev/null || { echo "cannot make $arm64_cache"; return 1; }
  (
    flock 9
    [ -f "$arm64_root/.complete" ] && exit 0
    apt=$arm64_cache/apt
    rm -rf "$apt" "$arm64_root.partial"
    mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial" "$apt/sources.list.d" "$apt/state"
    : > "$apt/state/status"
    echo "deb [arch=arm64 signed-by=/usr/share/keyrings/debian-archive-keyring.gpg]" \
      "${RKVTPS32_DEBIAN_MIRROR:-http://deb.debian.org/debian} bookworm main" > "$apt/sources.list"
    # Its own sources, lists, cache and package status: nothing of the
    # system's APT or dpkg state is read or changed, and the empty status
    # makes APT fetch every package the arm64 Wine needs.
    set -- -q -o APT::Architecture=arm64 -o APT::Architectures=arm64 \
      -o Dir::Etc::SourceList="$apt/sources.list" -o Dir::Etc::SourceParts="$apt/sources.list.d" \
      -o Dir::State="$apt/state" -o Dir::State::Lists="$apt/lists" \
      -o Dir::State::status="$apt/state/status" -o Dir::Cache="$apt/cache" \
      -o APT::Install-Recommends=false
    started=$(date +%s)
    if ! apt-get "$@" update > "$apt/log" 2>&1 ||
      ! apt-get "$@" -y --download-only install wine64 >> "$apt/log" 2>&1; then
      echo "apt-get could not fetch wine64:arm64 ($(grep -m 1 '^[EW]:' "$apt/log"))"
      exit 1
    fi
    fetched=$(date +%s)
    mkdir -p "$arm64_root.partial"
    for deb in "$apt/cache/archives"/*.deb; do
      dpkg-deb -x "$deb" "$arm64_root.partial" || { echo "dpkg-deb could not unpack $deb"; exit 1; }
      basename "$deb" >> "$arm64_root.partial/.packages"
    done
    sed -i -e "s|^wineserver64=.*|wineserver64=$arm64_server|" -e "s|^wineserver32=.*|wineserver32=/nonexistent|" \
      "$arm64_root.partial/usr/lib/wine/wineserver"
    rm -rf "$arm64_root" "$apt"
    mv "$arm64_root.partial" "$arm64_root"
    touch "$arm64_root/.complete"
    echo "wine-run: Wine for ARM64: $(wc -l < "$arm64_root/.packages") packages fetched in" \
      "$((fetched - started)) s, unpacked in $(($(date +%s) - fetched)) s into $arm64_root" >&2
  ) 9> "$arm64_cache.lock"
}

# Makes ARM64 programs runnable: sets `mode` and `why`, the loader and
# the prefix; fails with the reason in `why` when they cannot run here.
use_arm64_wine() {
  decide_arm64_mode
  [ "$mode" = none ] && return 1
  if ! reason=$(fetch_arm64_wine); then
    mode=none why="Wine for ARM64 cannot be had: $reason"
    return 1
  fi
  # Emulated, qemu finds the aarch64 loader and libraries under the root;
  # on an aarch64 kernel the host's loader finds them by the library path.
  if [ "$mode" = emulated ]; then
    export QEMU_LD_PREFIX="$arm64_root"
  else
    export LD_LIBRARY_PATH="$arm64_root/usr/lib/aarch64-linux-gnu:$arm64_root/lib/aarch64-linux-gnu"
  fi
  WINEPREFIX=${RKVTPS32_WINE_ARM64_PREFIX:-$WINEPREFIX-arm64}
  loader64=$arm64_loader
  boot_reserved_va=
}

# Under qemu's -L root (QEMU_LD_PREFIX) "/" names the unpacked root, so Wine
# finds no drive for a program outside it and gives it a \\?\unix path
# (GetModuleFileName, and what reads it, then fail). Each top-level folder
# of the machine that the root lacks gets a drive of its own instead.
add_drives_outside_root() {
  set -- d e f g h i j k l m n o p q r s t u v w x y
  for dir in /*; do
    if [ ! -d "$dir" ] || [ -L "$dir" ] || [ -e "$arm64_root$dir" ]; then continue; fi
    case "$dir" in /proc | /sys | /dev | /run) continue ;; esac
    [ $# -gt 0 ] || break
    ln -sfn "$dir" "$WINEPREFIX/dosdevices/$1:"
    shift
  done
}

# The prefix, made once with the 64-bit loader (it fills the 32-bit system
# folder too when x86 programs can run). A lock keeps parallel tests from
# making it twice.
ensure_prefix() {
  [ -f "$WINEPREFIX/system.reg" ] && return 0
  mkdir -p "$WINEPREFIX"
  (
    flock 9
    [ -f "$WINEPREFIX/system.reg" ] && exit 0
    # No Mono or Gecko installer: nothing here needs .NET or HTML.
    # The 32-bit half of the prefix is filled only if qemu (where it runs
    # the 32-bit programs) can map Wine's fixed addresses.
    # (Wine for ARM64 needs the whole 64-bit address space.)
    # shellcheck disable=SC2030  # for this subshell's boot only
    [ -n "$boot_reserved_va" ] && export QEMU_RESERVED_VA="$boot_reserved_va"
    WINELOADER=$loader64 \
      WINEDLLOVERRIDES="$WINEDLLOVERRIDES;mscoree,mshtml=" \
      timeout -k 10 900 "$loader64" wineboot -i >/dev/null 2>&1 || exit 1
    [ -n "${QEMU_LD_PREFIX:-}" ] && add_drives_outside_root
    # Without a debugger command a crashed program ends at once; with one,
    # Wine starts winedbg, which waits and keeps the test's pipes open.
    for view in 32 64; do
      WINELOADER=$loader64 timeout -k 10 120 "$loader64" reg delete "$aedebug_key" /v Debugger \
        /f /reg:$view >/dev/null 2>&1
    done
    exit 0
  ) 9> "$WINEPREFIX.lock" || { say "the prefix $WINEPREFIX could not be made"; return 1; }
}

# "x64", "x86", "arm64" or "" from the PE header's machine field.
pe_machine() {
  [ -f "$1" ] || return 0
  offset=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')
  [ -n "$offset" ] || return 0
  header=$(od -An -tx1 -j"$offset" -N6 "$1" 2>/dev/null | tr -d ' \n')
  case "$header" in
    504500006486) echo x64 ;;
    5045000064aa) echo arm64 ;;
    50450000*4c01 | 504500004c01) echo x86 ;;
  esac
}

case "${1:-}" in
  "")
    say "usage: wine-run.sh PROGRAM [ARGS...] | --setup | --x86-mode | --setup-arm64 | --stop"
    exit 2
    ;;
  --x86-mode)
    x86_mode
    exit 0
    ;;
  --setup)
    decide_x86_mode
    [ "$mode" = emulated ] && export QEMU_RESERVED_VA=$qemu_reserved_va
    ensure_prefix || exit 1
    case "$mode" in
      native) echo "x86 Windows programs: native ($why)" ;;
      emulated) echo "x86 Windows programs: emulated ($why)" ;;
      none) echo "x86 Windows programs: not run ($why)" ;;
    esac
    exit 0
    ;;
  --setup-arm64)
    started=$(date +%s)
    if ! use_arm64_wine; then
      echo "ARM64 Windows programs: not run ($why)"
      exit 0
    fi
    ready=$(date +%s)
    ensure_prefix || exit 1
    echo "ARM64 Windows programs: $mode ($why); Wine ready in $((ready - started)) s," \
      "prefix $WINEPREFIX in $(($(date +%s) - ready)) s"
    exit 0
    ;;
  --stop)
    timeout 30 "$wine_dir/wineserver" -k 2>/dev/null
    if [ -x "$arm64_server" ]; then
      QEMU_LD_PREFIX=$arm64_root WINEPREFIX=${RKVTPS32_WINE_ARM64_PREFIX:-$WINEPREFIX-arm64} \
        timeout 30 "$arm64_server" -k 2>/dev/null
    fi
    exit 0
    ;;
esac

program=$1
loader=$loader64
machine=$(pe_machine "$program")
if [ "$machine" = arm64 ]; then
  if ! use_arm64_wine; then
    echo "wine-run: not run: $(basename "$program") is an ARM64 program and $why"
    exit 77
  fi
  loader=$loader64
elif [ "$machine" = x86 ]; then
  case "$(x86_mode)" in
    native) ;;
    emulated)
      export QEMU_RESERVED_VA=$qemu_reserved_va
      # Tests size their repeated work to the emulator's pace.
      export RKVTPS32_X86_EMULATED=1
      ;;
    *)
      echo "wine-run: not run: $(basename "$program") is an x86 program and this machine runs none (see wine-run.sh --setup)"
      exit 77
      ;;
  esac
  loader=$loader32
fi
ensure_prefix || exit 1

limit=${RK_WINE_TIMEOUT:-600}
WINELOADER=$loader timeout -k 10 "$limit" "$loader" "$@"
status=$?
if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
  say "$(basename "$program") hung: stopped after ${limit}s with its process group"
  exit 124
fi
exit "$status"
