#!/usr/bin/env bash
# Instructions per call of the narrow N-up, validation and owner exports
# beside their hand-written floors (export_floors.h), counted by callgrind
# in code pages 1252 and 932: figures only. The one verdict is a floor that
# answers differently from its export, which fails the run.
#   benchmarks/export_instructions.sh BIN_DIR [--library LIB_DIR] [--detail]
# BIN_DIR holds rkvtps32_export_instructions; --library measures the
# librkvtps32.so.3 of another build with the same program and floors;
# --detail adds the figures of every input.
set -euo pipefail
bin=$1
shift
library='' detail=0
while [ $# -gt 0 ]; do
  case $1 in
    --library) library=$(cd "$2" && pwd); shift 2 ;;
    --detail) detail=1; shift ;;
    *) echo "unknown argument: $1" >&2; exit 2 ;;
  esac
done
program=$bin/rkvtps32_export_instructions
[ -x "$program" ] || { echo "no $program (valgrind/callgrind.h missing at build time?)" >&2; exit 2; }
dir=$(mktemp -d "${TMPDIR:-/tmp}/rkvtps-instructions.XXXXXX")
trap 'rm -rf "$dir"' EXIT

toggles=()
while IFS= read -r function; do toggles+=("--toggle-collect=$function"); done < <("$program" --toggles)

# The library finds its code page in the locale variables, and reads the
# environment as it cuts: a small fixed environment makes the counts the
# same from run to run and from machine to machine (a larger one costs the
# export more, never the floor).
run_env() {
  local locale=$1
  shift
  env -i PATH="$PATH" LC_ALL="$locale" ${library:+LD_LIBRARY_PATH="$library"} "$@"
}

# Figures from the dumps: each dump's reason is "export|side|input|what|calls"
# and its summary line the instructions collected inside that side's function.
# (Its totals line is not: with --toggle-collect it counts the export's own
# instructions twice. The summary agrees with the function's inclusive cost
# in a run without toggles, and with lackey's count of a loop of calls less
# an empty loop.)
report() {
  awk -v detail="$detail" '
    /^desc: Trigger: Client Request: / {
      sub(/^desc: Trigger: Client Request: /, "")
      split($0, field, "|")
      name = field[1]; side = field[2]; input = field[3]; what = field[4]; calls = field[5]
    }
    /^summary: / {
      if (name == "") next
      key = name SUBSEP input
      cost[key, side] = $2 / calls
      total[name, side] += $2; count[name, side] += calls
      if (!(name in seen)) { seen[name] = 1; order[++names] = name }
      if (!(key in described)) { described[key] = what; inputs[name]++ }
      name = ""
    }
    function ratio(e, f) { return f > 0 ? sprintf("%.2fx", e / f) : "-" }
    END {
      printf "%-38s %-14s %10s %10s %7s\n", "export", "inputs", "export", "floor", "ratio"
      for (n = 1; n <= names; n++) {
        name = order[n]
        e = cost[name, 0, "export"]; f = cost[name, 0, "floor"]
        printf "%-38s %-14s %10.1f %10.1f %7s\n", name, "first", e, f, ratio(e, f)
        e = total[name, "export"] / count[name, "export"]; f = total[name, "floor"] / count[name, "floor"]
        printf "%-38s %-14s %10.1f %10.1f %7s\n", name, "mean of " inputs[name], e, f, ratio(e, f)
        if (!detail) continue
        for (i = 0; i < inputs[name]; i++) {
          e = cost[name, i, "export"]; f = cost[name, i, "floor"]
          printf "    %3d %-56.56s %8.1f %8.1f %7s\n", i, described[name SUBSEP i], e, f, ratio(e, f)
        }
      }
    }' "$@"
}

echo "instructions per call (callgrind Ir inside the export or the floor), environment: PATH and LC_ALL only"
for code_page in 1252 932; do
  locale=C.UTF-8
  [ "$code_page" = 932 ] && locale=ja_JP.UTF-8
  loaded=$(run_env "$locale" ldd "$program" | awk '/librkvtps32\.so/ { print $3 }')
  echo "== code page $code_page (LC_ALL=$locale), library $loaded"
  out=$dir/$code_page
  if ! run_env "$locale" valgrind --tool=callgrind --collect-atstart=no "${toggles[@]}" \
       --callgrind-out-file="$out.dump" "$program" "$code_page" > "$dir/log" 2>&1; then
    grep -v '^==' "$dir/log" >&2 || true
    echo "export_instructions: a floor disagrees with its export (or the run failed)" >&2
    exit 1
  fi
  # Dumps in the order they were made: name.dump.1, .2 ...
  mapfile -t dumps < <(find "$dir" -name "$code_page.dump.*" | sort -V)
  report "${dumps[@]}"
done
echo "(${SECONDS}s)"
