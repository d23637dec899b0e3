#!/usr/bin/env bash
# Sets everything up and starts the product: installs missing Debian packages,
# builds, prepares the data folder ($ZOLMAR_DATA or ~/zolva103/) and starts.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build/release -G Ninja -DZOL_TESTS=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release -j "$jobs"
build/release/tools/zolmar-data init
if [ -x build/release/shell/zolmar ]; then
  exec build/release/shell/zolmar
fi
echo "The main window comes in a later release; the data folder is ready."
