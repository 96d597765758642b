#!/bin/sh
# Turns velmora.svg into velmora.ico: 16, 32, 48, 64, 128 and 256 pixels,
# 32 bits with alpha, each size drawn from the SVG rather than scaled down
# from a large bitmap. The .ico is committed, so a build needs none of this.
# Needs rsvg-convert (librsvg2-bin) and ImageMagick.
set -eu
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
pngs=""
for size in 16 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" velmora.svg -o "$work/$size.png"
    pngs="$pngs $work/$size.png"
done
/usr/bin/convert $pngs velmora.ico
/usr/bin/identify velmora.ico
