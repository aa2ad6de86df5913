#!/bin/sh
# The ARM64 DLL held to the x64 DLL: the battery of each, run under Wine for
# its architecture in code pages 1252 and 932, must print the same bytes.
# Usage: compare_battery.sh WINE_RUN ARM64_BATTERY X64_BATTERY
# Exit status 77 ("not run", with the reason) when the x64 build or a code
# page is missing, or when wine-run.sh cannot run one of the programs.
set -u
run=$1 arm64=$2 x64=$3
if [ ! -f "$x64" ]; then
  echo "wine-run: not run: no x64 battery at $x64 (build the mingw64 preset first)"
  exit 77
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/rkvtps32-battery.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Runs one battery into $work/NAME.txt; leaves the script when it did not run.
battery() {
  name=$1 locale=$2 program=$3
  LC_ALL=$locale "$run" "$program" > "$work/$name.txt" 2> "$work/$name.err"
  status=$?
  if [ "$status" -eq 77 ]; then
    cat "$work/$name.txt"
    exit 77
  fi
  if [ "$status" -ne 0 ]; then
    echo "$name: the battery failed with status $status"
    tail -n 5 "$work/$name.txt" "$work/$name.err"
    exit 1
  fi
}

for pair in C.UTF-8:1252 ja_JP.UTF-8:932; do
  locale=${pair%:*} code_page=${pair#*:}
  battery "x64-$code_page" "$locale" "$x64"
  first=$(head -n 1 "$work/x64-$code_page.txt" | tr -d '\r')
  if [ "$first" != "ANSI code page $code_page" ]; then
    echo "wine-run: not run: LC_ALL=$locale does not give code page $code_page here ($first)"
    exit 77
  fi
  battery "arm64-$code_page" "$locale" "$arm64"
  if ! cmp -s "$work/x64-$code_page.txt" "$work/arm64-$code_page.txt"; then
    echo "code page $code_page: the ARM64 battery differs from the x64 one:"
    diff "$work/x64-$code_page.txt" "$work/arm64-$code_page.txt" | head -n 40
    exit 1
  fi
  echo "code page $code_page: $(wc -l < "$work/x64-$code_page.txt") calls," \
       "the same bytes on ARM64 and x64 ($(sha256sum < "$work/x64-$code_page.txt" | cut -c1-16))"
done
