#!/usr/bin/env bash
# Installs, from Debian's packages, what building and testing rkvtps32 need.
#   scripts/install-deps.sh            native build, tests, tool, fuzzers,
#                                      valgrind and benchmarks
#   scripts/install-deps.sh --windows  also MinGW-w64, Wine (64 and 32 bit)
#                                      the Japanese locale for code page 932,
#                                      and qemu-user for x86 programs on
#                                      kernels without 32-bit execution
set -euo pipefail

windows=0
[ "${1:-}" = "--windows" ] && windows=1
sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo
export DEBIAN_FRONTEND=noninteractive

packages=(cmake make g++ pkg-config libgtest-dev libcli11-dev nlohmann-json3-dev
          clang libclang-rt-14-dev clang-format valgrind libbenchmark-dev
          iproute2 dpkg-dev lintian help2man)
install_options=(-y -q)
if [ "$windows" = 1 ]; then
  $sudo dpkg --add-architecture i386
  packages+=(mingw-w64 wine wine64 wine32:i386 locales qemu-user lld llvm unzip)
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
