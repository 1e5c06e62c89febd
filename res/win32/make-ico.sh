#!/bin/sh
# One .ico from one SVG, with the sizes Windows asks for between 100 % and 200 % scaling
# (16, 20, 24, 32, 40, 48) and the 256-pixel image of large views, stored as PNG.
# -b 32 keeps the alpha channel: without it icotool flattens plain pictures to 1 bit.
#   make-ico.sh picture.svg picture.ico
set -eu
svg=$1 ico=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for size in 16 20 24 32 40 48 256; do
    rsvg-convert -w "$size" -h "$size" "$svg" -o "$tmp/$size.png"
done
icotool -c -b 32 -o "$ico.tmp" "$tmp"/16.png "$tmp"/20.png "$tmp"/24.png "$tmp"/32.png \
    "$tmp"/40.png "$tmp"/48.png --raw="$tmp"/256.png
mv "$ico.tmp" "$ico"
