#!/usr/bin/env bash
# Renders the PNG sizes of the icon from kalix.svg (needs ImageMagick).
# The PNG files are committed; run this after changing the drawing.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
for size in 16 24 32 48 64 128 256; do
  convert -background none -density 300 kalix.svg -resize "${size}x${size}" -depth 8 "kalix-$size.png"
done
