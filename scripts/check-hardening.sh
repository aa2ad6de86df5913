#!/bin/sh
# Runs hardening-check (devscripts) on every ELF program and shared library
# under the given folders or files, and fails if any lacks a protection:
# PIE, stack protector, _FORTIFY_SOURCE, RELRO, BIND_NOW.
# Control-flow protection (CET) is not asked: the code is built with
# -fcf-protection, but Debian 12's C library start files (crti.o, crtn.o)
# carry no IBT/SHSTK property, so the linker drops it from every program and
# library linked there, Debian's own included (/usr/bin/lpstat says "no").
# Usage: scripts/check-hardening.sh PATH...
set -eu
checked=0
failed=0
files=$(find "$@" -type f | LC_ALL=C sort)
for file in $files; do
  # ELF programs and shared libraries; objects and archives are not linked.
  case $(od -An -c -N4 "$file" 2>/dev/null | tr -d ' ') in
    177ELF) ;;
    *) continue ;;
  esac
  kind=$(od -An -tu2 -j16 -N2 "$file" | tr -d ' ')
  [ "$kind" = 2 ] || [ "$kind" = 3 ] || continue  # ET_EXEC, ET_DYN
  # Separate debug information (the -dbgsym packages) has no code to check.
  case $file in */usr/lib/debug/*) continue ;; esac
  checked=$((checked + 1))
  if ! report=$(hardening-check --nocfprotection "$file" 2>&1); then
    echo "$report"
    failed=$((failed + 1))
  fi
done
echo "hardening-check: $checked ELF files, $failed failed"
[ "$checked" -gt 0 ] && [ "$failed" = 0 ]
