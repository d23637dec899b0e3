#!/usr/bin/env bash
# Installs the Debian packages the product and its tests need. Does nothing
# when they are all present already. Run as root (or with sudo available).
set -euo pipefail

# The program and its build.
PRODUCT_PKGS="g++ cmake ninja-build ccache pkg-config qt6-base-dev qt6-tools-dev
  libqt6opengl6-dev libfreeimage-dev fonts-liberation fonts-crosextra-carlito fonts-dejavu-core"
# Tests, interop checks with independent readers, screenshots, and the
# benchmarks (SQLite peer, hyperfine, GNU time for peak memory).
TEST_PKGS="libgtest-dev libgmock-dev xvfb xauth xdotool x11-apps imagemagick poppler-utils qpdf
  python3 python3-xlrd python3-dbfread python3-dbf libdbd-xbase-perl pgdbf sqlite3 libreoffice-calc
  libsqlite3-dev hyperfine time"

want="$PRODUCT_PKGS"
if [ "${1:-}" = "--tests" ]; then want="$want $TEST_PKGS"; fi

missing=()
for p in $want; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get -o DPkg::Lock::Timeout=600 update -q
$SUDO apt-get -o DPkg::Lock::Timeout=600 install -y -q --no-install-recommends "${missing[@]}"
