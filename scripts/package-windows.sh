#!/usr/bin/env bash
# The Windows archive, rkvtps32-VERSION-windows.zip, from the three DLL
# builds (build/mingw64, build/mingw32 and build/mingw-arm64, or the folders
# given):
#
#   rkvtps32-VERSION-windows/
#     LICENSE  README.txt  SHA256SUMS
#     x64/, x86/, arm64/: bin/     rkvtps32.dll, rkvtps.exe and their PDBs
#                                  (arm64: no rkvtps.exe, which needs a C++
#                                  runtime that Debian lacks for aarch64)
#                         lib/     rkvtps32.lib, librkvtps32.dll.a, rkvtps32.def,
#                                  cmake/rkvtps32/, pkgconfig/rkvtps32.pc
#                         include/ rkvtps32.h
#
# Every DLL and program is signed (scripts/sign-windows.sh) when
# RKVTPS32_SIGN_CERT is set; otherwise the archive says it is unsigned.
# VERSION is the header's, the one source of the version. The same inputs
# give the same archive bytes: its entries have fixed times and order.
#
# Usage: scripts/package-windows.sh OUTPUT_DIR [X64_BUILD X86_BUILD ARM64_BUILD]
# Prints the archive's path.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out=${1:?usage: package-windows.sh OUTPUT_DIR [X64_BUILD X86_BUILD ARM64_BUILD]}
x64_build=${2:-$top/build/mingw64}
x86_build=${3:-$top/build/mingw32}
arm64_build=${4:-$top/build/mingw-arm64}

version=$(sed -n 's/^#define RKVTPS32_VERSION_STRING "\(.*\)"$/\1/p' "$top/include/rkvtps32.h")
[ -n "$version" ] || { echo "package-windows: no RKVTPS32_VERSION_STRING in include/rkvtps32.h" >&2; exit 1; }
name=rkvtps32-$version-windows

stage=$(mktemp -d "${TMPDIR:-/tmp}/rkvtps32-package.XXXXXX")
trap 'rm -rf "$stage"' EXIT
root=$stage/$name
for pair in "x64:$x64_build" "x86:$x86_build" "arm64:$arm64_build"; do
  arch=${pair%%:*} build=${pair#*:}
  [ -f "$build/CMakeCache.txt" ] || { echo "package-windows: no $arch build in $build" >&2; exit 1; }
  cmake --install "$build" --prefix "$root/$arch" --component Unspecified >/dev/null
done
# Each install brings the README; the archive holds it once, at the top.
mv "$root/x64/README.txt" "$root/README.txt"
rm "$root/x86/README.txt" "$root/arm64/README.txt"
cp "$top/LICENSE" "$root/LICENSE"

mapfile -t binaries < <(cd "$root" && find . -name '*.dll' -o -name '*.exe' | sort)
if [ -n "${RKVTPS32_SIGN_CERT:-}" ]; then
  (cd "$root" && "$top/scripts/sign-windows.sh" "${binaries[@]}") >&2
else
  echo "package-windows: RKVTPS32_SIGN_CERT is not set: the binaries are unsigned" >&2
fi

# Checksums of everything else, from the top of the archive.
(cd "$root" && find . -type f | LC_ALL=C sort | sed 's|^\./||' | xargs -d '\n' sha256sum > "$stage/SHA256SUMS")
mv "$stage/SHA256SUMS" "$root/SHA256SUMS"

# Fixed times (the release's source date, else the epoch of the version's
# commit) and a sorted entry list make the archive reproducible.
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$top" log -1 --format=%ct 2>/dev/null || echo 315532800)}
find "$root" -exec touch -h -d "@$epoch" {} +
mkdir -p "$out"
zip_file=$(cd "$out" && pwd)/$name.zip
rm -f "$zip_file"
(cd "$stage" && find "$name" | LC_ALL=C sort | TZ=UTC zip -X -q -@ "$zip_file")
echo "$zip_file"
