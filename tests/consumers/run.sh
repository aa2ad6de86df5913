#!/usr/bin/env bash
# Installs a build tree into a temporary prefix and builds two consumer
# projects against it: one with find_package(rkvtps32), one with
# pkg-config. Usage: tests/consumers/run.sh BUILD_DIR [TOOLCHAIN_FILE]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$1
toolchain=${2:-}
work=$(mktemp -d "${TMPDIR:-/tmp}/rkvtps32-consumers.XXXXXX")
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" >/dev/null
echo "installed:"; (cd "$prefix" && find . -type f -o -type l | sort | sed 's/^/  /')

if [ -n "$toolchain" ]; then
  # Windows: the install must carry the DLL, the import library, the .def
  # and the header.
  for file in bin/rkvtps32.dll lib/librkvtps32.dll.a lib/rkvtps32.def include/rkvtps32.h; do
    [ -f "$prefix/$file" ] || { echo "missing from the install: $file" >&2; exit 1; }
  done
  cmake -S "$here/cmake" -B "$work/cmake" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -Drkvtps32_DIR="$prefix/lib/cmake/rkvtps32" >/dev/null
  cmake --build "$work/cmake" >/dev/null
  # Built and linked either way; run where this machine can run it.
  status=0
  "$here/../../cmake/wine-run.sh" "$work/cmake/consumer.exe" || status=$?
  [ "$status" -eq 77 ] && exit 0
  exit "$status"
fi

cmake -S "$here/cmake" -B "$work/cmake" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/cmake" >/dev/null
LD_LIBRARY_PATH="$prefix/lib" "$work/cmake/consumer"

export PKG_CONFIG_PATH="$prefix/lib/pkgconfig"
# shellcheck disable=SC2046
cc -std=c99 -Wall -Werror -o "$work/pkgconfig-consumer" "$here/consumer.c" \
   $(pkg-config --cflags --libs rkvtps32) -Wl,-rpath,"$(pkg-config --variable=libdir rkvtps32)"
"$work/pkgconfig-consumer"
echo "consumers: ok"
