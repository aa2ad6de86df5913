#!/usr/bin/env bash
# Installs a build tree into a temporary prefix and builds consumer projects
# against it: find_package(rkvtps32) and pkg-config, in a lib/ prefix and
# (natively) in a Debian-style /usr prefix with a multiarch libdir; runs the
# installed tool without LD_LIBRARY_PATH; links the static library through
# both; builds a parent project that takes the library in with
# add_subdirectory.
# Usage: tests/consumers/run.sh BUILD_DIR [TOOLCHAIN_FILE]
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
  for file in bin/rkvtps32.dll lib/librkvtps32.dll.a lib/rkvtps32.lib lib/rkvtps32.def \
              include/rkvtps32.h; do
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

cmake -S "$here/cmake" -B "$work/cmake" -DCMAKE_PREFIX_PATH="$prefix" -DRKVTPS32_REQUIRE_STATIC=ON >/dev/null
cmake --build "$work/cmake" >/dev/null
LD_LIBRARY_PATH="$prefix/lib" "$work/cmake/consumer"
env -u LD_LIBRARY_PATH "$work/cmake/consumer_static"

# pkg-config: builds and runs a C consumer against the prefix whose
# pkgconfig folder is $1 (with the shared library, found through $2), and
# one with the static library linked in.
pkg_config_consumer() {
  PKG_CONFIG_PATH=$1
  export PKG_CONFIG_PATH
  # shellcheck disable=SC2046
  cc -std=c99 -Wall -Werror -o "$work/pkgconfig-consumer" "$here/consumer.c" \
     $(pkg-config --cflags --libs rkvtps32) -Wl,-rpath,"$2"
  "$work/pkgconfig-consumer"
  # shellcheck disable=SC2046
  cc -std=c99 -Wall -Werror -o "$work/pkgconfig-consumer-static" "$here/consumer.c" \
     $(pkg-config --cflags rkvtps32) $(pkg-config --static --libs rkvtps32 | sed 's/-lrkvtps32/-l:librkvtps32.a/')
  env -u LD_LIBRARY_PATH "$work/pkgconfig-consumer-static"
}
pkg_config_consumer "$prefix/lib/pkgconfig" "$prefix/lib"

# The installed tool finds its library by its run path.
env -u LD_LIBRARY_PATH "$prefix/bin/rkvtps" nup 12

# A Debian-style layout: prefix /usr, libdir lib/<multiarch>, staged with
# DESTDIR. The pkg-config file must still lead to the header and library.
source_dir=$(cd "$here/../.." && pwd)
cmake -S "$source_dir" -B "$work/usr-build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
      -DRKVTPS32_BUILD_TESTS=OFF >/dev/null
cmake --build "$work/usr-build" -j2 >/dev/null
DESTDIR="$work/root" cmake --install "$work/usr-build" >/dev/null
multiarch_pc=$(find "$work/root/usr/lib" -name rkvtps32.pc)
echo "Debian-style layout: ${multiarch_pc#"$work/root"}"
# The system's prefix is named as it is (pkgconf then filters -I/usr/include
# and -L/usr/lib/<multiarch>); staged under DESTDIR, the sysroot leads there.
grep -qx 'prefix=/usr' "$multiarch_pc" || { echo "$multiarch_pc: prefix is not /usr" >&2; exit 1; }
PKG_CONFIG_SYSROOT_DIR="$work/root" pkg_config_consumer "$(dirname "$multiarch_pc")" "$(dirname "$(dirname "$multiarch_pc")")"
cmake -S "$here/cmake" -B "$work/cmake-usr" -DCMAKE_PREFIX_PATH="$work/root/usr" >/dev/null
cmake --build "$work/cmake-usr" >/dev/null
LD_LIBRARY_PATH="$(dirname "$(dirname "$multiarch_pc")")" "$work/cmake-usr/consumer"
# In the system's libdir the dynamic linker finds the library itself: the
# tool and the filter carry no run path there.
for program in "$work/root/usr/bin/rkvtps" $(find "$work/root/usr/lib" -name rkvtps-filter); do
  if readelf -d "$program" | grep -q 'R.*PATH'; then
    echo "${program#"$work/root"}: a run path in a system install" >&2
    exit 1
  fi
done
LD_LIBRARY_PATH="$(dirname "$(dirname "$multiarch_pc")")" "$work/root/usr/bin/rkvtps" nup 12

# As a subproject of another build.
cmake -S "$here/subproject" -B "$work/subproject" -DRKVTPS32_SOURCE_DIR="$source_dir" >/dev/null
cmake --build "$work/subproject" -j2 >/dev/null
"$work/subproject/parent"
echo "consumers: ok"
