#!/usr/bin/env bash
# Builds Kalix and starts it on the bundled samples.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/scripts/deps.sh"
kalix_install_deps "${KALIX_BUILD_PACKAGES[@]}"

build="$root/build"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKALIX_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)"

cd "$root/samples"
"$build/kalix-cli" -R nac.rul rules
