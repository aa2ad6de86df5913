#!/bin/sh
# Builds the Debian packages (dpkg-buildpackage -us -uc -b) from a
# `git archive` export of a commit, as a release would be built: files get
# the modes git gives them (0664 under umask 002), nothing untracked comes
# along, and dpkg-buildpackage writes its results beside the export, in a
# folder of this build's own. The .deb, .ddeb, .changes and .buildinfo
# files end up in OUTPUT_DIR.
# Usage: scripts/build-debs.sh OUTPUT_DIR [COMMIT]   (COMMIT: HEAD)
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
out=$1
commit=${2:-HEAD}
mkdir -p "$out"
out=$(cd "$out" && pwd)
version=$(cd "$top" && git show "$commit:debian/changelog" | sed -n '1s/.*(\(.*\)).*/\1/p')
upstream=${version%-*}

work=$(mktemp -d "${TMPDIR:-/tmp}/rkvtps32-debs.XXXXXX")
trap 'rm -rf "$work"' EXIT
# git archive writes modes 0664/0775 as they come out of an umask of 002.
(cd "$top" && git archive --format=tar --prefix="rkvtps32-$upstream/" "$commit") |
  (umask 002 && cd "$work" && tar -x --no-same-permissions)
cd "$work/rkvtps32-$upstream"
if ! dpkg-buildpackage -us -uc -b >"$work/build.log" 2>&1; then
  tail -n 60 "$work/build.log" >&2
  echo "build-debs: dpkg-buildpackage failed (log above)" >&2
  exit 1
fi
cp "$work/build.log" "$out/build.log"
for file in "$work"/*.deb "$work"/*.ddeb "$work"/*.changes "$work"/*.buildinfo; do
  [ -e "$file" ] && mv "$file" "$out/"
done
ls "$out"/*.changes
