#!/usr/bin/env bash
# Sets everything up and starts the product: installs missing Debian packages,
# builds, prepares the data folder ($ZOLMAR_DATA or ~/zolva103/; a brand-new
# folder gets the demo shop) and starts zolmar in the folder you called it from.
set -euo pipefail
here=$PWD
cd "$(dirname "$0")"
repo=$PWD
scripts/setup.sh
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build/release -G Ninja -DZOL_TESTS=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release -j "$jobs"
data=${ZOLMAR_DATA:-$HOME/zolva103}
if [ -z "$(find "$data" -maxdepth 1 -iname 'maeart.dbf' 2>/dev/null)" ]; then
  # A first look should show a working shop.
  build/release/tools/zolmar-data demo
else
  build/release/tools/zolmar-data init
fi
cd "$here"
exec "$repo/build/release/shell/zolmar"
