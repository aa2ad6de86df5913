#!/usr/bin/env bash
# PAPPL as a distribution mends it: Debian bookworm's own `pappl` source
# package, the project's patches (packaging/pappl/patches, in the order of
# their series) added after Debian's, a changelog entry naming them, the
# binary packages built and libpappl1 and libpappl-dev installed from them.
#
# Usage: scripts/build-pappl.sh [OUT_DIR]   (OUT_DIR: build/pappl)
#
# The source comes through an APT configuration of this script's own (its
# sources list, lists, cache and state under OUT_DIR): the system's APT
# sources gain no deb-src line and no architecture. The build dependencies
# come from the system's own lists, by name. Run twice, the second run sees
# the patched version installed and does nothing.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$top/build/pappl}
mkdir -p "$out"
out=$(cd "$out" && pwd)
patches=$top/packaging/pappl/patches
# Bump when the patch set changes: each set is a version of its own.
local_revision=7
suite=bookworm
sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo
export DEBIAN_FRONTEND=noninteractive
started=$SECONDS

say() { printf 'build-pappl: %s\n' "$*"; }

# The patch set's fingerprint (the patches, their series and the fallback
# packaging), written into the changelog entry: the same version built from
# other patches is not taken for this one.
patch_set_digest() {
  (
    cd "$patches" && cat series && grep -v '^#' series | xargs cat
    cd ../debian && find . -type f | LC_ALL=C sort | xargs cat
  ) | sha256sum | cut -c1-16
}

# The mirror the system's own Debian sources use.
debian_mirror() {
  local mirror
  mirror=$(grep -hE '^URIs:' /etc/apt/sources.list.d/*.sources 2> /dev/null |
    awk '{print $2}' | grep -v security | head -n 1 || true)
  if [ -z "$mirror" ]; then
    mirror=$(grep -hE "^deb .* $suite " /etc/apt/sources.list /etc/apt/sources.list.d/*.list \
      2> /dev/null | awk '{for (i = 2; i <= NF; i++) if ($i ~ /:\/\//) {print $i; exit}}' || true)
  fi
  echo "${mirror:-http://deb.debian.org/debian}"
}

# apt-get with the private configuration: only this script's deb-src line.
private_apt() {
  apt-get -q -o Dir::Etc::SourceList="$out/apt/sources.list" -o Dir::Etc::SourceParts="$out/apt/empty" \
    -o Dir::State="$out/apt/state" -o Dir::Cache="$out/apt/cache" \
    -o Dir::State::status=/var/lib/dpkg/status "$@"
}

fetch_source() {
  mkdir -p "$out/apt/empty" "$out/apt/state/lists/partial" "$out/apt/cache/archives/partial"
  local keyring=/usr/share/keyrings/debian-archive-keyring.gpg
  echo "deb-src [signed-by=$keyring] $(debian_mirror) $suite main" > "$out/apt/sources.list"
  private_apt update > "$out/apt-update.log" 2>&1 || { cat "$out/apt-update.log" >&2; exit 1; }
  rm -rf "$out/src"
  mkdir -p "$out/src"
  if (cd "$out/src" && private_apt source --download-only pappl > "$out/apt-source.log" 2>&1); then
    (cd "$out/src" && dpkg-source -x ./pappl_*.dsc > /dev/null)
    return
  fi
  # The .dsc and the upstream tarball came, Debian's debian.tar.xz did not
  # (a mirror that does not serve it): see unpack_without_debian_tarball.
  ls "$out"/src/pappl_*.dsc "$out"/src/pappl_*.orig.tar.* > /dev/null 2>&1 ||
    { cat "$out/apt-source.log" >&2; exit 1; }
  grep -E "^E: " "$out/apt-source.log" >&2 || true
  unpack_without_debian_tarball
}

# Where the archive holds back Debian's debian.tar.xz: the upstream tarball
# the .dsc names (its checksum checked), the packaging in
# packaging/pappl/debian (Debian's control and rules for 1.3.1, written
# down), and what Debian's own libpappl1 .deb carries of the rest: its
# changelog, copyright, symbols and lintian overrides.
unpack_without_debian_tarball() {
  local dsc orig version upstream deb binary
  dsc=$(ls "$out"/src/pappl_*.dsc)
  orig=$(ls "$out"/src/pappl_*.orig.tar.*)
  version=$(sed -n 's/^Version: //p' "$dsc")
  upstream=${version%-*}
  grep -A3 '^Checksums-Sha256:' "$dsc" | grep -qF "$(sha256sum "$orig" | cut -d' ' -f1)" ||
    { say "$(basename "$orig") does not match its .dsc"; exit 1; }
  say "the archive does not serve Debian's debian.tar.xz: Debian's $version packaging from packaging/pappl/debian and the libpappl1 $version .deb"
  tar -xf "$orig" -C "$out/src"
  cp -r "$top/packaging/pappl/debian" "$out/src/pappl-$upstream/"
  (cd "$out/src" && apt-get -q download "libpappl1=$version" > "$out/apt-download.log" 2>&1) ||
    { cat "$out/apt-download.log" >&2; exit 1; }
  deb=$(ls "$out"/src/libpappl1_*.deb)
  binary=$out/src/debian-binary
  rm -rf "$binary"
  dpkg-deb -R "$deb" "$binary"
  rm -f "$deb"
  local debian=$out/src/pappl-$upstream/debian
  zcat "$binary/usr/share/doc/libpappl1/changelog.Debian.gz" > "$debian/changelog"
  cp "$binary/usr/share/doc/libpappl1/copyright" "$debian/copyright"
  cp "$binary/DEBIAN/symbols" "$debian/libpappl1.symbols"
  cp "$binary/usr/share/lintian/overrides/libpappl1" "$debian/libpappl1.lintian-overrides"
  rm -rf "$binary"
}

# The project's patches after Debian's own, in the order of their series.
add_patches() {
  local source=$1 patch
  mkdir -p "$source/debian/patches"
  touch "$source/debian/patches/series"
  while read -r patch; do
    case "$patch" in '' | '#'*) continue ;; esac
    cp "$patches/$patch" "$source/debian/patches/"
    echo "$patch" >> "$source/debian/patches/series"
  done < "$patches/series"
}

add_changelog_entry() {
  local source=$1 version=$2 digest=$3 patch lines=()
  lines+=("Rebuilt with the rkvtps32 project's patches (set $digest):")
  while read -r patch; do
    case "$patch" in '' | '#'*) continue ;; esac
    lines+=("$patch: $(sed -n 's/^Description: //p' "$patches/$patch" | head -n 1)")
  done < "$patches/series"
  (
    cd "$source"
    export DEBFULLNAME="rkvtps32 developers" DEBEMAIL="rkvtps32@example.org"
    dch -v "$version" -D "$suite" --force-distribution "${lines[0]}"
    for line in "${lines[@]:1}"; do dch -a "$line"; done
  )
}

fetch_source
source_dir=$(find "$out/src" -mindepth 1 -maxdepth 1 -type d -name 'pappl-*' | head -n 1)
debian_version=$(dpkg-parsechangelog -l "$source_dir/debian/changelog" -S Version)
version="$debian_version+rkvtps$local_revision"
digest=$(patch_set_digest)

installed=$(dpkg-query -W -f='${Version}' libpappl1 2> /dev/null || true)
installed_dev=$(dpkg-query -W -f='${Version}' libpappl-dev 2> /dev/null || true)
if [ "$installed" = "$version" ] && [ "$installed_dev" = "$version" ] &&
  zcat /usr/share/doc/libpappl1/changelog.Debian.gz 2> /dev/null | head -n 20 | grep -qF "set $digest"; then
  say "libpappl1 and libpappl-dev $version (patch set $digest) are installed: nothing to do"
  exit 0
fi
say "building pappl $version from Debian's $debian_version (installed: ${installed:-none})"

add_patches "$source_dir"
add_changelog_entry "$source_dir" "$version" "$digest"

# Build dependencies by name, from the system's own lists.
$sudo apt-get build-dep -y -q "$source_dir" > "$out/build-dep.log" 2>&1 ||
  { tail -n 30 "$out/build-dep.log" >&2; exit 1; }

# PAPPL's own test suite (testpappl) runs for minutes: the project's tests
# exercise the patched library instead.
rm -f "$out"/src/*.deb "$out"/src/*.changes "$out"/src/*.buildinfo
(cd "$source_dir" && DEB_BUILD_OPTIONS="nocheck parallel=2" dpkg-buildpackage -b -uc -us -j2 \
  > "$out/build.log" 2>&1) || { tail -n 60 "$out/build.log" >&2; say "dpkg-buildpackage failed"; exit 1; }

arch=$(dpkg --print-architecture)
$sudo dpkg -i "$out/src/libpappl1_${version}_$arch.deb" "$out/src/libpappl-dev_${version}_$arch.deb" \
  > "$out/install.log" 2>&1 || { cat "$out/install.log" >&2; exit 1; }
say "installed libpappl1 and libpappl-dev $version in $((SECONDS - started))s"
