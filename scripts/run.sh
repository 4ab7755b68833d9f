#!/usr/bin/env bash
# Builds Kalix and starts it on the bundled sample transcription, from the
# samples folder so that the rules file nac.rul is found. Without a display
# it says so and runs a sample search with kalix-cli instead.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/scripts/deps.sh"
kalix_install_deps "${KALIX_BUILD_PACKAGES[@]}"

build="$root/build-release"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKALIX_TESTS=OFF -DKALIX_GUI=ON >/dev/null
cmake --build "$build" -j 2 --target kalix kalix-cli
# The help files are looked up beside the program.
cp "$root"/samples/help_*.rtf "$build/"

cd "$root/samples"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display (\$DISPLAY and \$WAYLAND_DISPLAY are empty): not starting the window."
  echo "A sample search with kalix-cli instead:"
  echo "  kalix-cli search --string isle --string estoile --no-all --summary sample.rtf"
  "$build/kalix-cli" search --string isle --string estoile --no-all --summary sample.rtf | iconv -f CP1252 -t UTF-8
  exit 0
fi
exec "$build/kalix" sample.rtf
