#!/bin/sh
# rkcapture: a CUPS backend that keeps the job's bytes in the file its URI
# names (rkcapture:/path). rkcapture:/path?close=N keeps N bytes and then
# closes its input, as a printer that went away mid-job.
if [ $# -eq 0 ]; then
  echo 'direct rkcapture "Unknown" "rkvtps32 test capture"'
  exit 0
fi
target=${DEVICE_URI#rkcapture:}
case "$target" in
  *"?close="*)
    limit=${target##*\?close=}
    head -c "$limit" > "${target%%\?*}"
    echo "ERROR: rkcapture: closed after $limit bytes" >&2
    exit 1
    ;;
esac
if [ $# -ge 6 ]; then cat "$6" > "$target"; else cat > "$target"; fi
