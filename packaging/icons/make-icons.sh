#!/usr/bin/env bash
# Renders the committed PNGs and the compiled-in window icon pixels from the
# SVGs. Run after changing an SVG; the build itself needs none of these tools.
set -euo pipefail
cd "$(dirname "$0")"
for program in glyphkiln plaquer; do
  for side in 48 256; do
    rsvg-convert -w "$side" -h "$side" "$program.svg" -o "$program-$side.png"
  done
  /usr/bin/python3 png_to_bgra.py "$program-48.png" "$program-48.bgra"
done
