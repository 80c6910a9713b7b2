#!/usr/bin/env bash
# Renders the project's icon drawing (assets/desktop/qiva.svg) into the PNG sizes that the window icon and
# the desktop's icon theme use. The results are committed; run this again only after changing the drawing.
set -euo pipefail
cd "$(dirname "$0")/.."
mkdir -p assets/desktop/icons
for size in 16 24 32 48 64 128 256; do
  convert -background none -density 384 assets/desktop/qiva.svg -resize "${size}x${size}" -depth 8 \
    "PNG32:assets/desktop/icons/qiva-$size.png"
done
ls -l assets/desktop/icons
