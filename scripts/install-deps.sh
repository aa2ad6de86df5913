#!/usr/bin/env bash
# Installs, from Debian's packages, what building and testing rkvtps32 need.
#   scripts/install-deps.sh            native build, tests, tool, fuzzers,
#                                      valgrind and benchmarks
#   scripts/install-deps.sh --windows  also MinGW-w64 (its headers, runtime
#                                      and posix libstdc++ for clang and lld),
#                                      Wine (64 and 32 bit), the Japanese
#                                      locale for code page 932, qemu-user for
#                                      x86 programs on kernels without 32-bit
#                                      execution, and osslsigncode, zip and
#                                      openssl for the signed archive
# Both install CUPS (server, client, IPP tools, headers) for the print
# filter and its end-to-end test.
set -euo pipefail

windows=0
[ "${1:-}" = "--windows" ] && windows=1
sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo
export DEBIAN_FRONTEND=noninteractive

packages=(cmake make g++ pkg-config libgtest-dev libcli11-dev nlohmann-json3-dev
          clang libclang-rt-14-dev clang-format valgrind libbenchmark-dev
          iproute2 time dbus-daemon avahi-daemon avahi-utils
          # the Debian packages: built, checked, tested as installed, rebuilt
          dpkg-dev debhelper fakeroot lintian devscripts autopkgtest diffoscope-minimal
          binutils man-db
          # the printer application and its tests (curl and openssl for the
          # web forms and test accounts; a headless browser for its pages)
          libpappl-dev python3 curl openssl chromium chromium-driver python3-selenium
          # its conversions, and the test that no Ghostscript outlives a job;
          # its format tests: test pages drawn, rendered back and compared
          ghostscript procps python3-numpy
          # its everywhere queue on a private cupsd: the PDF filters
          cups-filters)
install_options=(-y -q)
if [ "$windows" = 1 ]; then
  $sudo dpkg --add-architecture i386
  packages+=(mingw-w64 wine wine64 wine32:i386 locales qemu-user lld llvm unzip zip
             osslsigncode openssl)
  # amd64 and i386 copies of a Multi-Arch library must have the same version.
  # When one architecture's index of the security archive lags behind the
  # other's, the newer amd64 version cannot be matched; preferring the
  # release's own versions keeps both architectures in step.
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  [ -n "$codename" ] && install_options+=(-t "$codename")
fi

# A mirror that is mid-sync makes update report an error for one index
# while every other list is fresh; install then says what is really missing.
$sudo apt-get update -q || echo "install-deps: apt-get update reported errors; going on" >&2
$sudo apt-get install "${install_options[@]}" "${packages[@]}"

if [ "$windows" = 1 ] && ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  # Wine takes its ANSI code page from the locale: ja_JP gives 932.
  $sudo sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
  $sudo locale-gen
fi

# CUPS at the version of the libcups2 already installed: where Wine brought
# libcups2:i386, both architectures' copies must stay equal, so the server
# and headers follow them. Their -dev dependencies may then need the
# versions of runtime libraries already installed too: apt says which
# ("X : Depends: Y (= A) but B is to be installed"), and each round pins X
# to B (or, once X is pinned, Y to A), for at most twelve rounds.
install_cups() {
  local cups=(cups-daemon cups-client cups-ipp-utils libcups2-dev) pins=() version
  version=$(dpkg-query -W -f='${Version}\n' "libcups2:$(dpkg --print-architecture)" 2>/dev/null || true)
  # A machine's image may hold a libcups2 that the archive no longer serves
  # (a security update replaced it): then no pin, and apt moves libcups2 to
  # the version it installs the rest at.
  if [ -n "$version" ] && apt-cache madison libcups2-dev | grep -qF "| $version |"; then
    for package in "${cups[@]}" libcupsimage2-dev libcupsimage2 cups-common cups-server-common; do
      pins+=("$package=$version")
    done
  else
    pins=("${cups[@]}")
  fi
  local round output line dependent dependency wanted coming
  for round in $(seq 12); do
    if output=$($sudo apt-get install -y -q --no-install-recommends "${pins[@]}" 2>&1); then
      return 0
    fi
    # A package's further unmet dependencies follow its name on lines of
    # their own.
    line=$(echo "$output" | awk '
      /^ +[^ ]+ : / { dependent = $1 }
      match($0, /Depends: [^ ]+ \(= [^)]+\) but [^ ]+ is to be installed/) {
        split(substr($0, RSTART, RLENGTH), w, /[ ()=]+/)
        print dependent, w[2], w[3], w[5]
        exit
      }')
    if [ -z "$line" ]; then
      echo "$output" >&2
      return 1
    fi
    read -r dependent dependency wanted coming <<< "$line"
    if printf '%s\n' "${pins[@]}" | grep -q "^$dependent="; then
      pins+=("$dependency=$wanted")
    else
      pins+=("$dependent=$coming")
    fi
    echo "install-deps: round $round: pinning ${pins[-1]}" >&2
  done
  echo "$output" >&2
  return 1
}
install_cups

# Debian's PAPPL with the project's patches: the printer application and its
# tests need them (packaging/pappl/README.md says which faults they mend).
"$(dirname "$0")/build-pappl.sh"
