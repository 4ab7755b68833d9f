#!/usr/bin/env bash
# Builds Kalix, starts it under a virtual X server on the sample document
# (from the samples folder, so that nac.rul is found) and saves the screen to
# docs/screenshot.png. KALIX_SCREENSHOT_SIZE sets the screen (default
# 1024x720); the program saves the screen itself when KALIX_SCREENSHOT names
# a file.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/scripts/deps.sh"
kalix_install_deps "${KALIX_BUILD_PACKAGES[@]}" xvfb xauth

build="$root/build"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKALIX_TESTS=OFF >/dev/null
cmake --build "$build" -j 2 --target kalix

mkdir -p "$root/docs"
size=${KALIX_SCREENSHOT_SIZE:-1024x720}
cfg=$(mktemp -d)
trap 'rm -rf "$cfg"' EXIT
cd "$root/samples"
# A private configuration folder and settings file: the screenshot never
# depends on (or changes) the user's own layout.
XDG_CONFIG_HOME="$cfg" KALIX_SCREENSHOT="$root/docs/screenshot.png" \
  xvfb-run -a -s "-screen 0 ${size}x24" "$build/kalix" sample.rtf
echo "Saved $root/docs/screenshot.png"
