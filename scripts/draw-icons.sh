#!/usr/bin/env bash
# Renders the menu icons from resources/icons/quillmer.svg, which draws the
# window icon (resources/images/quillmer-icon.gif) at any size, with
# rsvg-convert (Debian package librsvg2-bin). The PNGs are committed, so the
# build does not need it; run this again after changing the SVG.
#
#   quillmer-48.png, quillmer-256.png  installed as hicolor/<size>x<size>/apps/quillmer.png
set -euo pipefail
icons=$(cd "$(dirname "$0")/../resources/icons" && pwd)
for size in 48 256; do
  rsvg-convert --width "$size" --height "$size" --output "$icons/quillmer-$size.png" "$icons/quillmer.svg"
done
echo "Rendered the icons into $icons"
