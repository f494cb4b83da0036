#!/usr/bin/env bash
# Draws every picture the program ships, with ImageMagick 6 (Debian package
# imagemagick). The drawn files are committed under resources/images/, so the
# build does not need ImageMagick; run this again after changing a picture.
#
#   home.gif, faq.gif, contact.gif  the three clickable pictures (56 x 56)
#   quillmer.gif                    the main window's banner (233 x 119)
#   splash.gif                      the splash window's picture (700 x 90)
#   quillmer-icon.gif               the window icon (32 x 32, 16 colours)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=${1:-$here/../resources/images}
convert=${CONVERT:-/usr/bin/convert}
mkdir -p "$out"

# The theme of the main window: light green background, dark green text.
back='#9DDFA0'
fore='#004000'
tile='#F4FBF4'
edge='#2E7D32'
font=DejaVu-Sans-Bold

# A rounded tile on the theme background with a caption at its foot; the
# glyph is drawn by the caller's extra arguments. The tiles are smaller than
# their 75-pixel controls, which overlap on the window, so that none hides
# another.
draw_tile() {
  local file=$1 caption=$2
  shift 2
  "$convert" -size 56x56 "xc:$back" \
    -fill "$tile" -stroke "$edge" -strokewidth 2 -draw 'roundrectangle 2,2 53,53 8,8' \
    "$@" \
    -stroke none -fill "$fore" -font "$font" -pointsize 9 -gravity south -annotate +0+4 "$caption" \
    +dither -colors 32 "$out/$file"
}

draw_tile home.gif "Home" \
  -stroke "$fore" -strokewidth 2 -fill '#FFFFFF' -draw 'polygon 28,7 11,22 45,22' \
  -draw 'rectangle 15,21 41,38' \
  -fill "$edge" -stroke none -draw 'rectangle 25,28 31,38' \
  -fill '#7FB3E0' -stroke "$fore" -strokewidth 1 -draw 'rectangle 18,25 22,29' -draw 'rectangle 34,25 38,29'

draw_tile faq.gif "Help" \
  -fill "$edge" -stroke "$fore" -strokewidth 2 -draw 'circle 28,22 28,8' \
  -stroke none -fill '#FFFFFF' -font "$font" -pointsize 20 -gravity north -annotate +0+9 '?'

draw_tile contact.gif "Contact" \
  -fill '#FFFFFF' -stroke "$fore" -strokewidth 2 -draw 'rectangle 10,11 46,35' \
  -fill none -draw 'polyline 10,11 28,25 46,11' -strokewidth 1 -draw 'line 10,35 23,22' -draw 'line 46,35 33,22'

# The banner: a quill over a sheet on the left, the name beside it. The main
# window's "Select File:" frame covers everything below row 84.
"$convert" -size 233x119 "xc:$back" \
  -fill '#FFFFFF' -stroke "$fore" -strokewidth 1 -draw 'rectangle 10,14 52,70' \
  -stroke "$edge" -draw 'line 10,28 52,28' -draw 'line 10,42 52,42' -draw 'line 10,56 52,56' \
  -draw 'line 24,14 24,70' -draw 'line 38,14 38,70' \
  -stroke "$fore" -strokewidth 2 -fill "$edge" -draw 'bezier 30,76 44,40 60,14 72,6' \
  -fill '#C9EFCB' -stroke "$fore" -strokewidth 1 -draw 'polygon 72,6 56,26 48,44 58,34 66,22' \
  -stroke none -fill "$fore" -font "$font" -pointsize 24 -annotate +80+44 'Quillmer' \
  -font DejaVu-Sans -pointsize 11 -annotate +82+64 'Excel to PDF Converter' \
  +dither -colors 64 "$out/quillmer.gif"

# The splash picture: a band from dark to light green, a workbook turning
# into a PDF page on the left, the name on the right.
"$convert" -size 90x700 gradient:"$fore"-"$back" -rotate -90 \
  -fill '#FFFFFF' -stroke "$fore" -strokewidth 1 -draw 'rectangle 24,14 74,76' \
  -stroke "$edge" -draw 'line 24,30 74,30' -draw 'line 24,46 74,46' -draw 'line 24,62 74,62' \
  -draw 'line 41,14 41,76' -draw 'line 58,14 58,76' \
  -stroke '#FFFFFF' -strokewidth 4 -draw 'line 86,45 118,45' -fill '#FFFFFF' -stroke none \
  -draw 'polygon 118,35 132,45 118,55' \
  -fill '#FFFFFF' -stroke "$fore" -strokewidth 1 -draw 'polygon 144,14 180,14 194,28 194,76 144,76' \
  -fill '#C00000' -stroke none -draw 'rectangle 150,50 188,66' \
  -fill '#FFFFFF' -font "$font" -pointsize 11 -annotate +157+63 'PDF' \
  -fill '#FFFFFF' -font "$font" -pointsize 40 -annotate +226+56 'Quillmer' \
  -fill "$fore" -font DejaVu-Sans -pointsize 16 -annotate +452+56 'Excel to PDF Converter' \
  +dither -colors 128 "$out/splash.gif"

# The window icon: a green-ruled sheet with a red PDF band, 16 colours.
# resources/icons/quillmer.svg draws the same icon for the menu (on the same
# grid; scripts/draw-icons.sh renders its PNGs): change the two together.
"$convert" -size 32x32 xc:none \
  -fill '#FFFFFF' -stroke "$fore" -strokewidth 1 -draw 'polygon 5,1 21,1 27,7 27,30 5,30' \
  -stroke "$edge" -draw 'line 8,9 24,9' -draw 'line 8,14 24,14' -draw 'line 8,19 24,19' -draw 'line 14,5 14,20' \
  -fill '#C00000' -stroke none -draw 'rectangle 3,22 29,29' \
  -fill '#FFFFFF' -draw 'rectangle 7,24 9,27' -draw 'rectangle 14,24 16,27' -draw 'rectangle 21,24 23,27' \
  +dither -colors 16 "$out/quillmer-icon.gif"

echo "Drew the pictures into $out"
