#!/usr/bin/env bash
# Renders the committed PNGs from the SVGs. Run after changing an SVG; the build
# itself needs no renderer (the window icons are these PNGs, compiled in).
set -euo pipefail
cd "$(dirname "$0")"
for program in glyphkiln plaquer; do
  for side in 48 256; do
    rsvg-convert -w "$side" -h "$side" "$program.svg" -o "$program-$side.png"
  done
done
