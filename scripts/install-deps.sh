#!/usr/bin/env bash
# Installs the Debian packages the project builds with, when any is missing.
set -euo pipefail
packages=(cmake g++ make pkg-config libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev clang-format-14
          libfreetype-dev fonts-dejavu-core libpng-dev libsndfile1-dev libedf-dev)
# Vector pictures (cairo writes PDF and scaled PNG; fontconfig finds the font files) and the stock
# tools their tests read them back with.
packages+=(libcairo2-dev libfontconfig-dev librsvg2-bin poppler-utils libxml2-utils)
# The live window (SDL2) and its tests: an X server of their own with real input events.
packages+=(libsdl2-dev xvfb libxtst-dev)
# Fuzzing (libFuzzer comes with clang) and memory checks.
packages+=(clang libclang-rt-14-dev valgrind)
# bench/view_bench.sh makes its recording with a script.
packages+=(python3)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}" >&2
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq "${missing[@]}" >/dev/null
