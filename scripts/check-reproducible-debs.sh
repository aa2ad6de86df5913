#!/bin/sh
# Two builds of the Debian packages, in two different folders at two
# different times, must give byte-identical .deb files. SOURCE_DATE_EPOCH
# comes from debian/changelog and dpkg-buildflags maps the build folder out
# of the objects (-ffile-prefix-map), so neither the clock nor the path may
# show. The second build also runs under another umask, time zone and
# locale. Where files differ, diffoscope says how.
# Usage: scripts/check-reproducible-debs.sh [FIRST_BUILD_DIR]
#   FIRST_BUILD_DIR: the .deb files of a build already made by
#   scripts/build-debs.sh (the CI's); without it both builds are made here.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/rkvtps32-repro.XXXXXXXXXX")
trap 'rm -rf "$work"' EXIT

if [ $# -ge 1 ]; then
  first=$(cd "$1" && pwd)
else
  first=$work/first
  "$top/scripts/build-debs.sh" "$first" >/dev/null
  # A second later at least, so a time stamp taken from the clock differs.
  sleep 2
fi
# Another folder, deeper and of another name length, under other settings.
second=$work/second/a/longer/folder/name
mkdir -p "$second"
(umask 022 && TZ=Asia/Tokyo LC_ALL=C.UTF-8 TMPDIR="$work/second" \
   "$top/scripts/build-debs.sh" "$second" >/dev/null)

status=0
count=0
for deb in "$first"/*.deb; do
  name=$(basename "$deb")
  count=$((count + 1))
  if [ ! -e "$second/$name" ]; then
    echo "only in the first build: $name"
    status=1
  elif cmp -s "$deb" "$second/$name"; then
    echo "identical: $name ($(sha256sum < "$deb" | cut -c1-16))"
  else
    echo "DIFFERENT: $name"
    diffoscope --text - "$deb" "$second/$name" | head -n 200 || true
    status=1
  fi
done
for deb in "$second"/*.deb; do
  [ -e "$first/$(basename "$deb")" ] || { echo "only in the second build: $(basename "$deb")"; status=1; }
done
[ "$count" -gt 0 ] || { echo "no packages in $first"; status=1; }
[ "$status" = 0 ] && echo "reproducible: $count packages byte for byte the same"
exit "$status"
