#!/usr/bin/env bash
# Every export's answers, from the fuzz corpora in code pages 1252 and 932,
# compared between an earlier revision and the working tree: the check
# that a change inside the library changed no byte or status a caller sees.
#   scripts/compare-exports.sh REVISION
# Prints how many calls were compared and how many differ (the first
# differences in full); exit 0 when none differ.
set -euo pipefail
cd "$(dirname "$0")/.."
revision=${1:?usage: scripts/compare-exports.sh REVISION}
work=$(mktemp -d)
trap 'git worktree remove --force "$work/base" >/dev/null 2>&1 || true; rm -rf "$work"' EXIT

# The same harness in both trees: an earlier one may not have it.
git worktree add --detach "$work/base" "$revision" >/dev/null
cp fuzz/export_dump.cpp fuzz/fuzz_support.h "$work/base/fuzz/"
grep -q export_dump "$work/base/fuzz/CMakeLists.txt" ||
  sed -n '/^# Every export.s answers over given inputs/,$p' fuzz/CMakeLists.txt >> "$work/base/fuzz/CMakeLists.txt"

build() {  # SOURCE BUILD
  cmake -S "$1" -B "$2" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
    -DCMAKE_CXX_COMPILER=clang++ -DRKVTPS32_BUILD_TESTS=OFF -DRKVTPS32_BUILD_TOOLS=OFF \
    -DRKVTPS32_BUILD_FUZZERS=ON "-DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link" > /dev/null
  cmake --build "$2" -j2 --target export_dump > /dev/null
}
build "$work/base" "$work/base-build"
build . "$work/new-build"

mapfile -t inputs < <(find fuzz/corpus -type f | sort)
"$work/base-build/bin/export_dump" "${inputs[@]}" > "$work/base.txt"
"$work/new-build/bin/export_dump" "${inputs[@]}" > "$work/new.txt"
calls=$(grep -vc '^==' "$work/new.txt")
differing=$(diff "$work/base.txt" "$work/new.txt" | grep -c '^>' || true)
echo "compared $calls export calls over ${#inputs[@]} inputs in code pages 1252 and 932 with $revision: $differing differ"
[ "$differing" = 0 ] || { diff "$work/base.txt" "$work/new.txt" | head -n 20; exit 1; }
