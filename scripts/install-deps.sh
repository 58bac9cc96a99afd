#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the run need, when missing.
set -euo pipefail
packages=(
  cmake ninja-build g++ ccache pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-multimedia-dev
  liblzo2-dev libssl-dev libcurl4-openssl-dev libsqlite3-dev nlohmann-json3-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang-16 libclang-rt-16-dev llvm-16
  xvfb xauth imagemagick fonts-dejavu-core fonts-liberation
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
