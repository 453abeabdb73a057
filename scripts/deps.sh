#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need, when missing.
# Packages named as arguments are installed beside them (fuzz.sh adds its tool chain so).
set -euo pipefail
PKGS=(cmake ninja-build g++ qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libqt6opengl6-dev
      libxcb1-dev fonts-noto-cjk poppler-utils xvfb xauth pkg-config libusb-1.0-0-dev umockdev libumockdev-dev "$@")
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
