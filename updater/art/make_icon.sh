#!/bin/sh
# Draws the updater's window icon: a blue rounded tile with a white arrow
# pointing down into a tray, at eight sizes from 16 to 128 pixels, 32-bit
# colour with alpha. Run it after changing the drawing; update.ico is kept
# in the repository so that builds need no ImageMagick.
set -e
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Drawn once at 512 pixels and scaled down, so every size has the same shape.
convert -size 512x512 xc:none \
  -fill '#2f5fd0' -stroke '#1d3f96' -strokewidth 16 \
  -draw 'roundrectangle 24,24 488,488 72,72' \
  -stroke none -fill '#a5aef1' -draw 'roundrectangle 48,40 464,200 56,56' \
  -fill white \
  -draw 'rectangle 214,96 298,280' \
  -draw 'polygon 136,260 376,260 256,392' \
  -draw 'rectangle 112,408 400,440' \
  -draw 'rectangle 112,344 144,440' \
  -draw 'rectangle 368,344 400,440' \
  "$work/big.png"

sizes="16 24 32 40 48 64 96 128"
images=""
for s in $sizes; do
  convert "$work/big.png" -filter Lanczos -resize ${s}x${s} -depth 8 PNG32:"$work/icon-$s.png"
  images="$images $work/icon-$s.png"
done
# BMP-style entries (not PNG) for every size, readable by any Windows.
convert $images -define icon:format=bmp update.ico
identify update.ico
