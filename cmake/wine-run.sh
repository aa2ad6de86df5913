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
#
# The loader follows the program's PE machine type. An x64 program goes to
# the 64-bit loader directly: Debian's `wine` starts the 32-bit loader first,
# and that fails on kernels that cannot execute 32-bit programs. An x86
# program goes to the 32-bit loader, which runs natively, or through
# qemu-user registered for i386 ELF binaries with binfmt_misc.
#
# Environment:
#   WINEPREFIX             the prefix; default ${TMPDIR:-/tmp}/rkvtps32-wine-UID,
#                          made with the 64-bit loader when missing
#   RK_WINE_TIMEOUT        seconds a program may take (default 600); on
#                          expiry its whole process group is stopped
#   RKVTPS32_X86_EMULATION 1: run x86 programs emulated even where the kernel
#                          runs them natively (a binfmt_misc handler is
#                          consulted before the kernel's own loader)
#
# Exit status: the program's; 124 when it hung and was stopped; 77, with a
# "not run" line, when it is an x86 program and this machine can run none
# (CTest reports such a test as not run, never as passed).
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
aedebug_key='HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug'

: "${WINEPREFIX:=${TMPDIR:-/tmp}/rkvtps32-wine-$(id -u)}"
: "${WINEDEBUG:=-all}"
# A crash must never start Wine's debugger: it waits for a user and keeps
# the test's output pipe open.
WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}winedbg.exe=d"
export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES

say() { echo "wine-run: $*" >&2; }

# An enabled binfmt_misc handler that sends i386 ELF binaries to qemu.
emulation_handler() {
  [ -d "$binfmt" ] || return 1
  for entry in "$binfmt"/*; do
    case "$entry" in */register | */status) continue ;; esac
    [ -f "$entry" ] || continue
    grep -qx enabled "$entry" 2>/dev/null || continue
    grep -q "^interpreter .*qemu-i386" "$entry" 2>/dev/null || continue
    grep -qx "magic $i386_magic_hex" "$entry" 2>/dev/null || continue
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

# Registers qemu-i386 for i386 ELF binaries. Prints the reason and fails
# when it cannot.
register_emulation() {
  qemu=$(command -v qemu-i386) || { echo "qemu-i386 is not installed (scripts/install-deps.sh --windows)"; return 1; }
  [ "$(id -u)" -eq 0 ] || { echo "registering binfmt_misc needs root"; return 1; }
  if [ ! -w "$binfmt/register" ]; then
    mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null ||
      { echo "binfmt_misc cannot be mounted at $binfmt"; return 1; }
  fi
  if [ -f "$handler" ]; then
    echo 1 > "$handler" 2>/dev/null || { echo "cannot enable $handler"; return 1; }
    return 0
  fi
  # O: qemu opens the binary itself; C: credentials from the binary;
  # F: qemu is opened now, so the handler works in any mount namespace.
  printf '%s' ":rkvtps32-i386:M::$i386_magic:$i386_mask:$qemu:OCF" > "$binfmt/register" 2>/dev/null ||
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
    QEMU_RESERVED_VA=$qemu_reserved_va WINELOADER=$loader64 \
      WINEDLLOVERRIDES="$WINEDLLOVERRIDES;mscoree,mshtml=" \
      timeout -k 10 900 "$loader64" wineboot -i >/dev/null 2>&1 || exit 1
    # Without a debugger command a crashed program ends at once; with one,
    # Wine starts winedbg, which waits and keeps the test's pipes open.
    for view in 32 64; do
      WINELOADER=$loader64 timeout -k 10 120 "$loader64" reg delete "$aedebug_key" /v Debugger \
        /f /reg:$view >/dev/null 2>&1
    done
    exit 0
  ) 9> "$WINEPREFIX.lock" || { say "the prefix $WINEPREFIX could not be made"; return 1; }
}

# "x64", "x86" or "" from the PE header's machine field.
pe_machine() {
  [ -f "$1" ] || return 0
  offset=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')
  [ -n "$offset" ] || return 0
  header=$(od -An -tx1 -j"$offset" -N6 "$1" 2>/dev/null | tr -d ' \n')
  case "$header" in
    504500006486) echo x64 ;;
    50450000*4c01 | 504500004c01) echo x86 ;;
  esac
}

case "${1:-}" in
  "")
    say "usage: wine-run.sh PROGRAM [ARGS...] | --setup | --x86-mode"
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
esac

program=$1
loader=$loader64
if [ "$(pe_machine "$program")" = x86 ]; then
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
