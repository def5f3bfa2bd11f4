#!/usr/bin/env bash
# Renders the drawings in svg/ to the 16- and 32-pixel pictures the program loads (the build reads
# only the PNG files, so Qt's SVG module is not needed). Needs rsvg-convert (Debian: librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 32; do
    mkdir -p "$size"
    for drawing in svg/*.svg; do
        name=$(basename "$drawing" .svg)
        rsvg-convert -w "$size" -h "$size" "$drawing" -o "$size/$name.png"
    done
done
