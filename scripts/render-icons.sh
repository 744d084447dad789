#!/usr/bin/env bash
# Renders data/icons/tavrell.svg into the PNG sizes the hicolor icon theme expects, beside it.
# Run after changing the drawing and commit the PNGs; needs rsvg-convert (librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/../data/icons"
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" tavrell.svg -o "tavrell-$size.png"
done
