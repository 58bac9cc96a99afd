#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the run need, when missing,
# and generates the decimal-comma locale the number formatting tests run under.
set -euo pipefail
packages=(
  cmake ninja-build g++ ccache pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-multimedia-dev
  liblzo2-dev libssl-dev libcurl4-openssl-dev libsqlite3-dev nlohmann-json3-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang-16 libclang-rt-16-dev llvm-16
  xvfb xauth imagemagick fonts-dejavu-core fonts-liberation
  locales
)
comma_locale=de_DE.UTF-8
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"

# One query for all: asking package by package takes seconds.
installed=$(dpkg-query -W -f='${Package} ${Status}\n' "${packages[@]}" 2>/dev/null | awk '/install ok installed/{print $1}' || true)
missing=()
for p in "${packages[@]}"; do
  grep -qx "$p" <<<"$installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi

# "locale -a" spells the generated name "de_DE.utf8".
if ! locale -a 2>/dev/null | grep -qix 'de_DE\.utf-\?8'; then
  $sudo sed -i "s/^# *\(${comma_locale} UTF-8\)/\1/" /etc/locale.gen
  grep -qx "${comma_locale} UTF-8" /etc/locale.gen || echo "${comma_locale} UTF-8" | $sudo tee -a /etc/locale.gen >/dev/null
  $sudo locale-gen
fi
