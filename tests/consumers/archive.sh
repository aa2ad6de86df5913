#!/usr/bin/env bash
# Builds consumers of an unpacked Windows archive through its CMake package,
# for each architecture, and runs them under Wine (x86 and ARM64 where the
# runner runs such programs; else built and linked, and reported not run):
#   - one on MSVC's conventions (clang-cl, lld-link; tests/consumers/msvc),
#     which must link rkvtps32.lib: x64, x86 and ARM64;
#   - one with MinGW (the project's toolchain files; tests/consumers/cmake),
#     which must link librkvtps32.dll.a: x64 and x86 (Debian has no MinGW
#     runtime for ARM64 to link an ordinary C program with).
# Usage: tests/consumers/archive.sh UNPACKED_ARCHIVE_ROOT
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
root=$(cd "${1:?usage: archive.sh UNPACKED_ARCHIVE_ROOT}" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/rkvtps32-archive-consumers.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The import library a configured consumer's link line names.
linked_import_library() {
  grep -rhoE '[^ "]*(rkvtps32\.lib|librkvtps32\.dll\.a)' "$1/CMakeFiles" --include=link.txt --include='*.rsp' |
    sed 's|.*/||' | sort -u
}

# arch, kind, source folder, expected import library, program, configure options...
consumer() {
  local arch=$1 kind=$2 source=$3 expected=$4 program=$5
  shift 5
  local build=$work/$kind-$arch status=0
  cmake -S "$source" -B "$build" -DCMAKE_BUILD_TYPE=Release \
        -Drkvtps32_DIR="$root/$arch/lib/cmake/rkvtps32" "$@" >/dev/null
  cmake --build "$build" >/dev/null
  if [ "$kind" = msvc ] && ! grep -rqs 'CMAKE_C_COMPILER_FRONTEND_VARIANT "MSVC"' "$build/CMakeFiles"; then
    echo "msvc consumer ($arch): the compiler is not in MSVC mode" >&2
    return 1
  fi
  local linked
  linked=$(linked_import_library "$build")
  [ "$linked" = "$expected" ] ||
    { echo "$kind consumer ($arch) links '${linked//$'\n'/ }', expected $expected" >&2; return 1; }
  "$top/cmake/wine-run.sh" "$build/$program" > "$build/output.txt" || status=$?
  cat "$build/output.txt"
  case $status in
    0) echo "$kind consumer ($arch): linked $linked, ran under Wine" ;;
    77) echo "$kind consumer ($arch): linked $linked, $(tail -n 1 "$build/output.txt" | sed 's/^wine-run: //')" ;;
    *) echo "$kind consumer ($arch) failed under Wine ($status)" >&2; return 1 ;;
  esac
}

for arch in x64 x86 arm64; do
  consumer "$arch" msvc "$here/msvc" rkvtps32.lib msvc_consumer.exe \
    -DCMAKE_TOOLCHAIN_FILE="$here/msvc/clang-cl.cmake" -DRK_MSVC_ARCH="$arch"
  case $arch in
    x64) toolchain=mingw64 ;;
    x86) toolchain=mingw32 ;;
    arm64) continue ;;
  esac
  consumer "$arch" mingw "$here/cmake" librkvtps32.dll.a consumer.exe \
    -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchains/$toolchain.cmake"
  # This program has no Control Flow Guard (only the project's own binaries
  # get it): the hardening check must refuse it.
  if "$top/scripts/check-windows-binaries.sh" "$work/mingw-$arch/consumer.exe" >/dev/null 2>&1; then
    echo "check-windows-binaries.sh passed a consumer built without Control Flow Guard" >&2
    exit 1
  fi
done
