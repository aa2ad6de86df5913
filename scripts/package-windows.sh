#!/bin/sh
# The Windows archive: the DLL builds' installs side by side (x64/, x86/,
# and arm64/ when build/mingw-arm64 is there), made by CPack from
# build/mingw64, build/mingw32 and build/mingw-arm64, without the x86 and
# x64 debug information (the ARM64 PDB ships beside its DLL).
# Usage: scripts/package-windows.sh [OUTPUT_DIR]
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$top/build/packages}
mkdir -p "$out"
projects="$top/build/mingw64;rkvtps32;Unspecified;/x64;$top/build/mingw32;rkvtps32;Unspecified;/x86"
if [ -f "$top/build/mingw-arm64/CMakeCache.txt" ]; then
  projects="$projects;$top/build/mingw-arm64;rkvtps32;Unspecified;/arm64"
fi
cpack --config "$top/build/mingw64/CPackConfig.cmake" -G ZIP -B "$out" \
  -D CPACK_PACKAGE_FILE_NAME=rkvtps32-windows \
  -D CPACK_INCLUDE_TOPLEVEL_DIRECTORY=ON \
  -D "CPACK_INSTALL_CMAKE_PROJECTS=$projects" \
  >/dev/null
echo "$out/rkvtps32-windows.zip"
