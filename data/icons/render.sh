#!/usr/bin/env bash
# Renders the hicolor PNG sizes of the application icon from uplark.svg.
# The PNGs are kept in the repository, so building needs no SVG renderer;
# run this after changing the SVG (needs rsvg-convert, Debian package
# librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 32 48 64 128 256; do
    mkdir -p "${size}x${size}"
    rsvg-convert --width "$size" --height "$size" uplark.svg --output "${size}x${size}/uplark.png"
done
