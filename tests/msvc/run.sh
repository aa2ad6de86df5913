#!/bin/sh
# Builds tests/msvc/msvc_caller.c as an MSVC-toolchain caller (clang in MSVC
# mode, lld-link, rkvtps32.lib), checks the name types of the import
# library, and runs the caller under Wine beside the DLL.
# Usage: run.sh x64|x86|arm64 LIB_DIR DLL WINE_RUN
set -eu
arch=$1 libdir=$2 dll=$3 run=$4
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/rkvtps32-msvc.XXXXXX")
trap 'rm -rf "$work"' EXIT
find_tool() { for name in "$@"; do command -v "$name" && return 0; done; echo "missing: $1" >&2; exit 1; }
clang=$(find_tool clang clang-14)
lld_link=$(find_tool lld-link lld-link-14)
dlltool=$(find_tool llvm-dlltool llvm-dlltool-14)
readobj=$(find_tool llvm-readobj llvm-readobj-14)
# kernel32's names are the same on every 64-bit Windows.
case "$arch" in
  x86) target=i686-pc-windows-msvc machine=x86 dllmachine=i386 kill=-k want_type=undecorate def=x86 ;;
  x64) target=x86_64-pc-windows-msvc machine=x64 dllmachine=i386:x86-64 kill='' want_type=name def=x64 ;;
  arm64) target=aarch64-pc-windows-msvc machine=arm64 dllmachine=arm64 kill='' want_type=name def=x64 ;;
  *) echo "unknown architecture $arch" >&2; exit 2 ;;
esac

# Every member of the import library must have the name type that binds the
# callers' references to the DLL's undecorated exports.
types=$("$readobj" "$libdir/rkvtps32.lib" | sed -n 's/^Name type: //p' | sort | uniq -c)
echo "rkvtps32.lib name types:" $types
echo "$types" | grep -qv " $want_type\$" && { echo "expected every member to be '$want_type'"; exit 1; }
[ "$(echo "$types" | wc -l)" -eq 1 ] || exit 1

"$dlltool" -m "$dllmachine" $kill -d "$here/kernel32_$def.def" -l "$work/kernel32.lib"
# The header alone, in MSVC mode, as C and as C++.
for lang in c c++; do
  echo '#include "rkvtps32.h"' | "$clang" --target="$target" -x "$lang" -fsyntax-only \
    -ffreestanding -Wall -Wextra -Werror -I "$here/../../include" -
done
"$clang" --target="$target" -ffreestanding -fno-builtin -mno-stack-arg-probe -O1 -Wall -Wextra \
  -Werror -I "$here/../../include" -c "$here/msvc_caller.c" -o "$work/msvc_caller.obj"
"$lld_link" /nologo /machine:$machine /subsystem:console /entry:Start /nodefaultlib \
  "$work/msvc_caller.obj" "$libdir/rkvtps32.lib" "$work/kernel32.lib" /out:"$work/msvc_caller.exe"
cp "$dll" "$work/"
"$run" "$work/msvc_caller.exe"
