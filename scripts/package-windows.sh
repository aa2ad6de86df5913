#!/bin/sh
# The Windows archive: both DLL builds' installs side by side (x64/, x86/),
# made by CPack from build/mingw64 and build/mingw32, without their debug
# information. Usage: scripts/package-windows.sh [OUTPUT_DIR]
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$top/build/packages}
mkdir -p "$out"
cpack --config "$top/build/mingw64/CPackConfig.cmake" -G ZIP -B "$out" \
  -D CPACK_PACKAGE_FILE_NAME=rkvtps32-windows \
  -D CPACK_INCLUDE_TOPLEVEL_DIRECTORY=ON \
  -D "CPACK_INSTALL_CMAKE_PROJECTS=$top/build/mingw64;rkvtps32;Unspecified;/x64;$top/build/mingw32;rkvtps32;Unspecified;/x86" \
  >/dev/null
echo "$out/rkvtps32-windows.zip"
