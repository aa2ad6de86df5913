#!/usr/bin/env bash
# Checks Windows DLLs and programs as a driver package's security review
# reads them, and fails on the first binary that misses anything:
#   - DllCharacteristics: DYNAMIC_BASE, NX_COMPAT, GUARD_CF, and
#     HIGH_ENTROPY_VA on x64 and ARM64; on x86 NO_SEH (no SafeSEH table can be had,
#     see rk_windows_binary) unless the load configuration has one;
#   - a load configuration with Control Flow Guard: the check function, on
#     x64 the dispatch function, a non-empty table of valid targets, and the
#     flags "instrumented" and "function table present";
#   - the stack protector: the PDB's public symbols hold its guard and
#     failure handler;
#   - a CodeView (RSDS) record in the debug directory naming a PDB without
#     a folder, and that PDB beside the binary with the same GUID and age;
#   - imports of system DLLs only (and of rkvtps32.dll, for programs).
# Prints one line per binary. Usage: check-windows-binaries.sh BINARY...
set -euo pipefail

readobj=$(command -v llvm-readobj || command -v llvm-readobj-14)
pdbutil=$(command -v llvm-pdbutil || command -v llvm-pdbutil-14)

# The DLLs a binary may import: Windows' own, and the library itself. The
# library binds the sockets library by name when it needs it, never at load.
allowed_imports="advapi32.dll kernel32.dll msvcrt.dll shell32.dll user32.dll version.dll wintrust.dll
                 ws2_32.dll rkvtps32.dll"
library_never_imports="ws2_32.dll wsock32.dll"
# Load configuration GuardFlags bits.
guard_cf_instrumented=0x100
guard_cf_function_table_present=0x400

failures=0
fail() {
  echo "FAIL $name: $*" >&2
  failures=$((failures + 1))
}

# The value of "Key: value" in a dump, first occurrence.
field() { sed -n "s/^ *$1: //p" <<< "$2" | head -n 1; }

# The RSDS GUID as llvm-readobj prints its bytes, "(4F A7 FD 03 ...)", in
# the registry form llvm-pdbutil prints, {03FDA74F-...}: the first three
# groups are little-endian.
registry_guid() {
  read -r -a b <<< "$(tr -d '()' <<< "$1")"
  echo "{${b[3]}${b[2]}${b[1]}${b[0]}-${b[5]}${b[4]}-${b[7]}${b[6]}-${b[8]}${b[9]}-${b[10]}${b[11]}${b[12]}${b[13]}${b[14]}${b[15]}}"
}

check_characteristics() {
  local headers=$1 machine=$2 flag
  local wanted=(DYNAMIC_BASE NX_COMPAT GUARD_CF)
  [ "$machine" != x86 ] && wanted+=(HIGH_ENTROPY_VA)
  for flag in "${wanted[@]}"; do
    grep -q "IMAGE_DLL_CHARACTERISTICS_$flag " <<< "$headers" || fail "no $flag"
  done
  characteristics=$(sed -n '/ImageOptionalHeader/,$ s/^ *Characteristics \[ (\(0x[0-9A-Fa-f]*\)).*/\1/p' <<< "$headers" | head -n 1)
}

check_load_config() {
  local config=$1 machine=$2 headers=$3 flags count
  grep -q '^LoadConfig \[' <<< "$config" || { fail "no load configuration"; return; }
  [ "$(field GuardCFCheckFunction "$config")" != 0x0 ] || fail "no Control Flow Guard check function"
  if [ "$machine" = x64 ]; then
    [ "$(field GuardCFCheckDispatch "$config")" != 0x0 ] || fail "no Control Flow Guard dispatch function"
  fi
  count=$(field GuardCFFunctionCount "$config")
  [ "${count:-0}" -gt 0 ] || fail "an empty table of valid call targets"
  flags=$(field GuardFlags "$config")
  (((${flags:-0} & guard_cf_instrumented) && (${flags:-0} & guard_cf_function_table_present))) ||
    fail "GuardFlags ${flags:-none}: not instrumented with a function table"
  cfg_targets=$count
  seh=-
  if [ "$machine" = x86 ]; then
    if grep -q "IMAGE_DLL_CHARACTERISTICS_NO_SEH " <<< "$headers"; then
      seh=NO_SEH
    elif [ "$(field SEHandlerTable "$config")" != 0x0 ]; then
      seh="SafeSEH($(field SEHandlerCount "$config"))"
    else
      fail "neither NO_SEH nor a SafeSEH handler table"
    fi
  fi
}

check_pdb() {
  local binary=$1 debug pdb_name guid age summary
  debug=$("$readobj" --coff-debug-directory "$binary")
  grep -q 'Type: CodeView' <<< "$debug" || { fail "no CodeView record in the debug directory"; return; }
  pdb_name=$(field PDBFileName "$debug")
  [ "$pdb_name" = "$(basename "$pdb_name")" ] || fail "the debug directory names a folder: $pdb_name"
  pdb=$(dirname "$binary")/$pdb_name
  [ -f "$pdb" ] || { fail "no $pdb_name beside it"; return; }
  guid=$(registry_guid "$(field PDBGUID "$debug")")
  age=$(field PDBAge "$debug")
  summary=$("$pdbutil" dump -summary "$pdb")
  [ "$(field GUID "$summary")" = "$guid" ] || fail "$pdb_name has GUID $(field GUID "$summary"), the binary $guid"
  [ "$(field Age "$summary")" = "$age" ] || fail "$pdb_name has age $(field Age "$summary"), the binary $age"
  publics=$("$pdbutil" dump -publics "$pdb")
  for symbol in __stack_chk_guard __stack_chk_fail; do
    grep -Eq "\`_?$symbol\`" <<< "$publics" || fail "no $symbol: built without the stack protector"
  done
}

check_imports() {
  local dll
  imports=$("$readobj" --coff-imports "$1" | sed -n 's/^ *Name: \(.*\.dll\)$/\1/Ip' | tr '[:upper:]' '[:lower:]' | sort -u)
  for dll in $imports; do
    grep -qw -- "$dll" <<< "$allowed_imports" || fail "imports $dll, which is not a system DLL"
    if [ "$name" = rkvtps32.dll ] && grep -qw -- "$dll" <<< "$library_never_imports"; then
      fail "imports $dll at load time"
    fi
  done
}

printf '%-26s %-5s %-7s %-8s %-7s %s\n' binary arch DllChar "CFG fns" SEH imports
for binary in "$@"; do
  name=$(basename "$binary")
  headers=$("$readobj" --file-headers "$binary") || { fail "not a PE file"; continue; }
  case "$(field Machine "$headers")" in
    IMAGE_FILE_MACHINE_AMD64*) machine=x64 ;;
    IMAGE_FILE_MACHINE_I386*) machine=x86 ;;
    IMAGE_FILE_MACHINE_ARM64*) machine=arm64 ;;
    *) fail "machine $(field Machine "$headers")"; continue ;;
  esac
  check_characteristics "$headers" "$machine"
  cfg_targets=- seh=-
  check_load_config "$("$readobj" --coff-load-config "$binary")" "$machine" "$headers"
  check_pdb "$binary"
  check_imports "$binary"
  printf '%-26s %-5s %-7s %-8s %-7s %s\n' "$name" "$machine" "$characteristics" "$cfg_targets" "$seh" \
    "${imports//$'\n'/ }"
done
[ "$failures" -eq 0 ] || { echo "$failures finding(s)" >&2; exit 1; }
echo "every binary hardened, with its PDB, importing system DLLs only"
