#!/usr/bin/env bash
# Draws Orvex's icon (a dit and a dah on blue) with ImageMagick, in several
# sizes: pelo.ico for the program, orvex.png for the desktop menu. The files
# are committed; run this only to change the drawing.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for s in 16 24 32 48 64 128 256; do
  r=$((s / 8)) c=$((s / 32 + 1))
  convert -size ${s}x${s} xc:none -depth 8 \
    -fill '#1d4e89' -draw "roundrectangle 0,0,$((s - 1)),$((s - 1)),$r,$r" \
    -fill '#f5b700' -draw "circle $((s * 5 / 16)),$((s * 5 / 16)) $((s * 5 / 16 + s / 10)),$((s * 5 / 16))" \
    -fill '#f5b700' -draw "roundrectangle $((s / 2)),$((s / 4)),$((s * 7 / 8)),$((s * 3 / 8)),$c,$c" \
    -fill white -draw "circle $((s * 5 / 16)),$((s * 11 / 16)) $((s * 5 / 16 + s / 10)),$((s * 11 / 16))" \
    -fill white -draw "roundrectangle $((s / 2)),$((s * 5 / 8)),$((s * 7 / 8)),$((s * 3 / 4)),$c,$c" \
    "PNG32:$tmp/$s.png"
done
convert "$tmp"/{16,24,32,48,64,128,256}.png pelo.ico
cp "$tmp/256.png" orvex.png
