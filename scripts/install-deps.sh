#!/usr/bin/env bash
# Installs the Debian 12 packages Vantrel needs to build, run and test.
# Idempotent: only missing packages are installed, after a single apt-get update.
set -euo pipefail

packages=(
  qt6-base-dev qt6-charts-dev libqt6svg6
  qt6-qpa-plugins libgl-dev libqt6opengl6-dev libxkbcommon-dev libvulkan-dev
  libarchive-dev libssl-dev zlib1g-dev libdeflate-dev libcanberra-dev
  cmake ninja-build g++ pkg-config
  clang libclang-rt-14-dev
  libgtest-dev libgmock-dev
  xvfb xauth
  fonts-dejavu-core adwaita-icon-theme
  python3
  iproute2 nftables
  dpkg-dev file desktop-file-utils help2man lintian
)

exec "$(dirname "$0")/install-packages.sh" "${packages[@]}"
