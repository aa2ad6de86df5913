#!/usr/bin/env bash
# rkvtps-printer-app converting on the way to the device: figures only,
# never a verdict.
#   - a 20-page PDF to a device that takes only PostScript (Ghostscript's
#     ps2write inside the application), from the job's start to its
#     completion in PAPPL's log, against ps2write alone on the same file
#     into a file;
#   - 10 and 100 pages of 600-dpi raster (A4; srgb_8 where the printer
#     lists it, else sgray_8) to a device that takes only PDF:
#     time per page and the application's peak resident memory for each
#     (VmHWM, reset between the runs), which must not grow with the pages.
#   benchmarks/printer_app_formats.sh BUILD_DIR
# Root: the application runs in namespaces of its own, as in its tests.
set -euo pipefail
here=$(cd "$(dirname "$0")/../tests/printer-app" && pwd)
build=$(cd "$1" && pwd)
[ -x "$build/bin/rk_raster_io" ] || { echo "printer application formats: no rk_raster_io, not measured"; exit 0; }
# shellcheck source=../tests/support/printer_app_env.sh
source "$here/../support/printer_app_env.sh"
RK_APP_NEEDS=gs bench_env_enter "printer application formats" "$build" "$0"
support=$here/../support

# Devices that keep nothing: a hundred 600-dpi pages as PDF are more than a
# test's tmpfs should hold.
port=$(free_port)
start_app "$port" log-level=info
for entry in ps:application/postscript pdf:application/pdf; do
  name=${entry%%:*}
  device_port=$(free_port)
  start_sink "$device_port"
  add_printer "$name" "socket://127.0.0.1:$device_port"
  "$app" modify -d "$name" -o "rkvtps-document-formats=${entry#*:}" > /dev/null
  # A colour device where the application has the setting.
  "$app" modify -d "$name" -o rkvtps-device-color=color > /dev/null 2>&1 || true
done
print_job_test bench

to_ms() { awk -F: '{ printf "%d", ($1 * 3600 + $2 * 60 + $3) * 1000 }' <<< "$1"; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }
# run_job PRINTER FILE FORMAT: the job's milliseconds from "Starting print
# job" to its end in PAPPL's log (the log's lines after those before it),
# or "STATE" when it did not complete. Jobs run one at a time.
run_job() {
  local skip ended stamps
  skip=$(wc -l < "$tree/log/app.log")
  ipptool -T 600 -t -f "$2" -d filetype="$3" "$(uri "$1")" "$tree/job.test" > "$tree/log/ipptool.out" 2>&1 ||
    { echo "refused"; return; }
  for _ in $(seq 1200); do
    ended=$(tail -n +$((skip + 1)) "$tree/log/app.log" | grep -oE "\] (Completed|Aborted|Canceled)," | awk 'NR == 1' || true)
    [ -n "$ended" ] && break
    sleep 0.5
  done
  case "$ended" in *Completed*) ;; *) echo "${ended:-unfinished}"; return ;; esac
  stamps=$(tail -n +$((skip + 1)) "$tree/log/app.log" | grep -E "Starting print job|Completed," |
    sed 's/.*T\([0-9:.]*\)Z.*/\1/' | awk 'NR <= 2' | tr '\n' ' ')
  echo $(($(to_ms "${stamps#* }") - $(to_ms "${stamps%% *}")))
}
# The application's peak resident memory since the last reset, in MiB.
peak_mib() { awk '/VmHWM/ { printf "%.1f", $2 / 1024 }' "/proc/$app_pid/status"; }
reset_peak() { echo 5 > "/proc/$app_pid/clear_refs"; }

echo "printer application, conversions on the way to a device on loopback (best of 5 where repeated)"

# ---- 20 pages of PDF to PostScript -------------------------------------
gs -q -dSAFER -dBATCH -dNOPAUSE -sPAPERSIZE=a4 -dPAGES=20 -sDEVICE=pdfwrite \
  -sOutputFile="$tree/docs/pages20.pdf" "$support/test_page.ps"
best_app='' best_gs=''
for _ in 1 2 3 4 5; do
  ms=$(run_job ps "$tree/docs/pages20.pdf" application/pdf)
  [[ "$ms" =~ ^[0-9]+$ ]] || { echo "  20-page PDF to PostScript: the job ended $ms"; best_app=; break; }
  [ -n "$best_app" ] && [ "$best_app" -le "$ms" ] || best_app=$ms
  started=$(now_ms)
  gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=ps2write -sOutputFile="$tree/ps2write.ps" "$tree/docs/pages20.pdf"
  ms=$(($(now_ms) - started))
  [ -n "$best_gs" ] && [ "$best_gs" -le "$ms" ] || best_gs=$ms
done
if [ -n "$best_app" ]; then
  printf '  %-44s %7s ms; gs ps2write alone %s ms: %s of its speed\n' "20-page PDF to a PostScript device:" \
    "$best_app" "$best_gs" "$(awk -v g="$best_gs" -v a="$best_app" 'BEGIN { printf "%.2fx", (a > 0 ? g / a : 0) }')"
fi

# ---- 600-dpi raster pages to PDF ----------------------------------------
ipp_test raster-types Get-Printer-Attributes << 'EOF'
  ATTR keyword requested-attributes pwg-raster-document-type-supported,rkvtps-device-color-default
  STATUS successful-ok
  DISPLAY pwg-raster-document-type-supported
  DISPLAY rkvtps-device-color-default
}
EOF
# A changed device setting shows within a few seconds (where the printer
# has the setting at all).
for _ in $(seq 25); do
  ipptool -T 10 -tv "$(uri pdf)" "$tree/raster-types.test" > "$tree/log/raster-types.out" 2>&1 || true
  grep -q "srgb_8" "$tree/log/raster-types.out" && break
  grep -q "rkvtps-device-color-default (" "$tree/log/raster-types.out" || break
  sleep 0.2
done
listed=$(sed -n 's/.*pwg-raster-document-type-supported ([^)]*) = //p' "$tree/log/raster-types.out")
# Colour where the printer lists it; else 8-bit grey, which PAPPL reads for
# any printer (its Apple raster W8), so that 1-bit pages do not make the
# figures a fraction of what a colour page costs.
type=sgray_8
[[ ",$listed," != *",srgb_8,"* ]] || type=srgb_8
gs -q -dSAFER -dBATCH -dNOPAUSE -sPAPERSIZE=a4 -r600 -sDEVICE=ppmraw -sOutputFile="$tree/page600.ppm" \
  "$support/test_page.ps"
printf '  %-44s %s\n' "raster pages (PWG $type, 600 dpi, A4)" "(the printer lists: ${listed:-nothing})"
for pages in 10 100; do
  "$build/bin/rk_raster_io" encode pwg "$type" 600 "$pages" "$tree/page600.ppm" "$tree/pages.pwg"
  size_mib=$(awk -v b="$(stat -c %s "$tree/pages.pwg")" 'BEGIN { printf "%.1f", b / 1048576 }')
  reset_peak
  ms=$(run_job pdf "$tree/pages.pwg" image/pwg-raster)
  rm -f "$tree/pages.pwg"
  if [[ "$ms" =~ ^[0-9]+$ ]]; then
    printf '  %-44s %7s ms, %s ms a page; peak resident memory %s MiB\n' \
      "$pages pages ($size_mib MiB of PWG raster) to PDF:" "$ms" \
      "$(awk -v m="$ms" -v p="$pages" 'BEGIN { printf "%.0f", m / p }')" "$(peak_mib)"
  else
    printf '  %-44s the job ended %s (peak resident memory %s MiB)\n' "$pages pages to PDF:" "$ms" "$(peak_mib)"
  fi
done
