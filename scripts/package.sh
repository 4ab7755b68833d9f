#!/usr/bin/env bash
# Builds the Debian package of Kalix (Release, no sanitizers) with CPack in
# build-release, the folder that scripts/run.sh uses too, and prints the path
# of the .deb file. Install it with: sudo apt install ./build-release/kalix_*.deb
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/scripts/deps.sh"
kalix_install_deps "${KALIX_BUILD_PACKAGES[@]}" "${KALIX_PACKAGE_PACKAGES[@]}"

jobs=$(nproc 2>/dev/null || echo 2)
build="$root/build-release"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKALIX_TESTS=OFF -DKALIX_GUI=ON \
  -DKALIX_SANITIZE=OFF -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
rm -f "$build"/kalix_*.deb
cmake --build "$build" -j "$jobs" --target package >&2
ls "$build"/kalix_*.deb
