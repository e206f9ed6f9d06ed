#!/usr/bin/env bash
# Installs the Debian packages that building the program needs, and with
# --tests also what its tests, sanitizers, fuzzing and benchmarks need. Only
# missing packages are installed, so a second run costs a moment.
set -euo pipefail

# The program, its window module and its stand-in tools.
packages=(
  g++ cmake make pkg-config python3 zip unzip
  libarchive-dev nlohmann-json3-dev libplist-dev libpng-dev libdeflate-dev libssl-dev
  qt6-base-dev
)
if [ "${1:-}" = "--tests" ]; then
  packages+=(
    libgtest-dev libgmock-dev
    llvm-14 clang libclang-rt-14-dev icnsutils
    7zip dmg2img python3-pil
    chromium xvfb xauth fonts-dejavu-core
  )
  # Node.js may come with its own npm from elsewhere; Debian's npm would clash with it.
  command -v node >/dev/null || packages+=(nodejs)
  command -v npm >/dev/null || packages+=(npm)
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get install -y --no-install-recommends "${missing[@]}" ||
  { $sudo apt-get update && $sudo apt-get install -y --no-install-recommends "${missing[@]}"; }
