#!/bin/sh
# Draws the navigator's pictures with ImageMagick. Run it again after a change
# and commit the results: the build only reads the files it leaves here.
set -eu
cd "$(dirname "$0")"

# Title bar: 68 x 27, stretched across the 920 x 24 bar by the picture box.
convert -size 68x27 gradient:'#3d7bd1'-'#1b4a94' \
  -fill '#6a9ce0' -draw 'line 0,0 67,0' \
  -fill '#143a78' -draw 'line 0,26 67,26' \
  -quality 92 title_bar.jpg

# One caption button: face colour, frame colour, glyph drawing, size.
button() {
  out=$1 w=$2 face=$3 frame=$4 glyph=$5
  convert -size "${w}x17" xc:'#1b4a94' \
    -fill "$face" -stroke "$frame" -draw "roundrectangle 0,0 $((w - 1)),16 3,3" \
    -stroke white -strokewidth 2 -fill none -draw "$glyph" \
    -type TrueColor "BMP3:$out"
}
button minimise.bmp 29 '#2f66b8' '#a9c4ec' 'line 10,11 18,11'
button minimise_hover.bmp 29 '#4f8ae0' '#ffffff' 'line 10,11 18,11'
button maximise.bmp 26 '#2f66b8' '#a9c4ec' 'rectangle 8,4 17,12'
button maximise_hover.bmp 26 '#4f8ae0' '#ffffff' 'rectangle 8,4 17,12'
button close.bmp 42 '#c4463a' '#f0b0a8' 'line 17,4 25,12 line 25,4 17,12'
button close_hover.bmp 42 '#e8604f' '#ffffff' 'line 17,4 25,12 line 25,4 17,12'

# Program icon: a white V on a blue disc, 48, 32 and 16 pixels.
for s in 48 32 16; do
  convert -size "${s}x${s}" xc:none \
    -fill '#2a62b8' -stroke '#0f2f66' -draw "circle $((s / 2)),$((s / 2)) $((s / 2)),1" \
    -stroke white -strokewidth $((s / 10 + 1)) -fill none \
    -draw "polyline $((s * 3 / 10)),$((s * 3 / 10)) $((s / 2)),$((s * 7 / 10)) $((s * 7 / 10)),$((s * 3 / 10))" \
    "icon_$s.png"
done
convert icon_48.png icon_32.png icon_16.png program.ico
rm -f icon_48.png icon_32.png icon_16.png
