#!/usr/bin/env bash
# Renders the drawings in svg/ to the pictures of the feedback, About and update windows, at their
# own size and at twice that size (name@2x.png, which Qt picks on high-density screens). The build
# reads only the PNG files. Needs rsvg-convert (Debian: librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")"
for drawing in svg/*.svg; do
    name=$(basename "$drawing" .svg)
    width=$(sed -n 's/^<svg[^>]* width="\([0-9]*\)".*/\1/p' "$drawing")
    height=$(sed -n 's/^<svg[^>]* height="\([0-9]*\)".*/\1/p' "$drawing")
    rsvg-convert -w "$width" -h "$height" "$drawing" -o "$name.png"
    rsvg-convert -w $((width * 2)) -h $((height * 2)) "$drawing" -o "$name@2x.png"
done
