#!/usr/bin/env bash
# The DLL is reproducible: built twice, in folders of different names and
# places (one in the tree, one under $TMPDIR), with the same toolchain, it is
# the same bytes. lld writes a hash of the contents where the time would go
# (-Brepro), names the PDB without its folder (-pdbaltpath), and the
# compiler maps the source folder away (-ffile-prefix-map).
#
#   check-reproducible.sh [PRESET...]     mingw64, mingw32 and mingw-arm64 by
#                                         default
#   check-reproducible.sh --against RELEASED_DLL REBUILT_DLL
#       a released (signed) DLL against one rebuilt from its source: the
#       signature removed, they must be the same but for the PE checksum,
#       which signing fills in.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

# FILE with its PE checksum field (offset 88 past the "PE\0\0" signature) zeroed.
zero_checksum() {
  python3 -c 'import struct, sys
with open(sys.argv[1], "r+b") as f:
    f.seek(0x3C); pe = struct.unpack("<I", f.read(4))[0]
    f.seek(pe + 88); f.write(bytes(4))' "$1"
}

if [ "${1:-}" = --against ]; then
  released=${2:?usage: --against RELEASED_DLL REBUILT_DLL} rebuilt=${3:?usage: --against RELEASED_DLL REBUILT_DLL}
  work=$(mktemp -d "${TMPDIR:-/tmp}/rkvtps32-against.XXXXXX")
  trap 'rm -rf "$work"' EXIT
  osslsigncode remove-signature -in "$released" -out "$work/released" >/dev/null
  cp "$rebuilt" "$work/rebuilt"
  zero_checksum "$work/released"
  zero_checksum "$work/rebuilt"
  if cmp "$work/released" "$work/rebuilt"; then
    echo "reproducible: $(basename "$released") is $(basename "$rebuilt") plus its signature"
  else
    echo "NOT reproducible: $released differs from $rebuilt beyond the signature" >&2
    exit 1
  fi
  exit 0
fi

[ $# -gt 0 ] || set -- mingw64 mingw32 mingw-arm64
# The toolchain file of each Windows preset (CMakePresets.json).
toolchain() {
  case "$1" in
    mingw-arm64) echo "$top/cmake/toolchains/llvm-mingw-arm64.cmake" ;;
    *) echo "$top/cmake/toolchains/$1.cmake" ;;
  esac
}
elsewhere=$(mktemp -d "${TMPDIR:-/tmp}/rkvtps32-repro.XXXXXX")
trap 'rm -rf "$elsewhere" "$top"/build/repro-*' EXIT
status=0
for preset in "$@"; do
  first=$top/build/repro-$preset
  second=$elsewhere/another/folder-$preset
  for dir in "$first" "$second"; do
    cmake -S "$top" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$(toolchain "$preset")" \
          -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRKVTPS32_WERROR=ON -DRKVTPS32_BUILD_TESTS=OFF \
          -DRKVTPS32_BUILD_TOOLS=OFF >/dev/null
    cmake --build "$dir" --target rkvtps32 -j2 >/dev/null
  done
  if cmp -s "$first/bin/rkvtps32.dll" "$second/bin/rkvtps32.dll"; then
    echo "$preset: rkvtps32.dll the same in both folders: $(sha256sum < "$first/bin/rkvtps32.dll" | cut -c1-64)"
  else
    echo "$preset: rkvtps32.dll differs between $first and $second:" >&2
    cmp -l "$first/bin/rkvtps32.dll" "$second/bin/rkvtps32.dll" | head -n 5 >&2 || true
    status=1
  fi
done
exit $status
