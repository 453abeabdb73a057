#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need, when missing.
# Packages named as arguments are installed beside them (fuzz.sh adds its tool chain so).
set -euo pipefail
# The package test builds and checks the Debian package (dpkg-dev, file, binutils for
# dpkg-shlibdeps and objdump; desktop-file-utils, appstream for the validators; groff-base for
# the manual pages; sqlite3 for its sample employees). clang-format checks the code's layout.
PKGS=(cmake ninja-build g++ qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libqt6opengl6-dev
      libxcb1-dev fonts-noto-cjk poppler-utils xvfb xauth pkg-config libusb-1.0-0-dev umockdev libumockdev-dev
      dpkg-dev file binutils desktop-file-utils appstream sqlite3 groff-base clang-format "$@")
# The printing test's private print server and PDF queue. Without the recommended extras: no
# printer discovery or colour service that would start on its own.
PRINT_PKGS=(cups-daemon cups-client cups-filters printer-driver-cups-pdf)
missing() {
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || echo "$p"
  done
}
mapfile -t missing < <(missing "${PKGS[@]}")
mapfile -t missing_print < <(missing "${PRINT_PKGS[@]}")
if [ ${#missing[@]} -gt 0 ] || [ ${#missing_print[@]} -gt 0 ]; then
  echo "installing: ${missing[*]} ${missing_print[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  [ ${#missing[@]} -eq 0 ] || DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
  [ ${#missing_print[@]} -eq 0 ] ||
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing_print[@]}"
fi
