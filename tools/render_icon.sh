#!/usr/bin/env bash
# Renders the application icon's PNG sizes from its SVG drawing. Run after changing the drawing;
# the PNGs are kept in the repository so that a build needs no SVG renderer.
#   needs: librsvg2-bin (rsvg-convert), optipng if present
set -euo pipefail
cd "$(dirname "$0")/../packaging/icons"
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" kavorconfig.svg -o "kavorconfig-$size.png"
  if command -v optipng >/dev/null; then optipng -quiet -o5 "kavorconfig-$size.png"; fi
done
