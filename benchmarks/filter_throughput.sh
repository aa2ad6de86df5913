#!/usr/bin/env bash
# rkvtps-filter against cat on the same large document, side by side in one
# run: figures only, never a verdict (a shared machine's timing is noise).
#   benchmarks/filter_throughput.sh FILTER [MiB]
set -euo pipefail
filter=$1 size_mib=${2:-1024}
dir=$(mktemp -d "${TMPDIR:-/tmp}/rkvtps-throughput.XXXXXX")
trap 'rm -rf "$dir"' EXIT
# In memory where there is room, so the disk is not what is measured.
[ -d /dev/shm ] && [ "$(df -Pm /dev/shm | awk 'NR == 2 { print $4 }')" -gt $((size_mib * 2)) ] &&
  { rm -rf "$dir"; dir=$(mktemp -d /dev/shm/rkvtps-throughput.XXXXXX); }
head -c $((size_mib * 1048576)) /dev/urandom > "$dir/document"

# The wall time of "$@" < document, writing into a pipe as a filter writes
# to the backend: a pipe's pace, not /dev/null's, is what printing sees.
milliseconds() {
  local start end
  start=$(date +%s%N)
  "$@" < "$dir/document" 2> /dev/null | cat > /dev/null
  end=$(date +%s%N)
  echo $(((end - start) / 1000000))
}
cat_ms=() filter_ms=()
for _ in 1 2 3 4 5; do
  cat_ms+=("$(milliseconds cat)")
  filter_ms+=("$(milliseconds "$filter" 1 user title 1 "")")
done
median() { printf '%s\n' "$@" | sort -n | sed -n 3p; }
c=$(median "${cat_ms[@]}") f=$(median "${filter_ms[@]}")
echo "document: $size_mib MiB into a pipe; median of 5 runs each, alternating"
echo "cat:           $c ms ($((size_mib * 1000 / (c > 0 ? c : 1))) MiB/s)"
echo "rkvtps-filter: $f ms ($((size_mib * 1000 / (f > 0 ? f : 1))) MiB/s)"
echo "filter/cat throughput: $(awk -v c="$c" -v f="$f" 'BEGIN { printf "%.2f", (f > 0 ? c / f : 0) }')"
