#!/usr/bin/env bash
# Renders the program icon assets/icons/parlino.svg into the PNG sizes the
# desktop's icon theme uses (assets/icons/parlino-SIZE.png). Run it after
# changing the SVG and commit the PNGs, so a build needs no SVG renderer.
# Needs rsvg-convert (Debian package librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/../assets/icons"
for size in 16 22 24 32 48 64 128 256; do
    rsvg-convert --width "$size" --height "$size" parlino.svg --output "parlino-$size.png"
done
