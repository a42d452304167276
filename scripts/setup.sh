#!/usr/bin/env bash
# Installs what Vantrel needs on Debian 12 (only the packages that are missing),
# then configures and builds into build/. Safe to run again.
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools libqt6svg6 qt6-multimedia-dev qt6-qpa-plugins
  libgl-dev zlib1g-dev liblzma-dev libfreetype-dev libfontconfig-dev libmpg123-dev libavcodec-dev libavutil-dev
  libavformat-dev libswscale-dev libswresample-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  fonts-wqy-microhei fonts-dejavu-core
  xvfb xauth openbox xdotool x11-utils x11-xserver-utils imagemagick wmctrl
  ffmpeg python3
  desktop-file-utils shared-mime-info appstream dbus-daemon
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  SUDO=""
  [[ $(id -u) -ne 0 ]] && SUDO="sudo"
  echo "setup: installing ${missing[*]}"
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} ${CMAKE_EXTRA:-}
cmake --build "$BUILD_DIR" -j2
