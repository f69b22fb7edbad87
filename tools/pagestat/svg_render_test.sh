#!/bin/sh
# Renders pagestat's chart with a real SVG renderer: it must render without
# error, and to more than a blank image of the same size.
#   svg_render_test.sh PAGESTAT TRACEGEN RSVG_CONVERT
set -eu
pagestat=$1
tracegen=$2
rsvg=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$tracegen" mixed 120000 3 > "$work/data.txt"
"$pagestat" --svg "$work/chart.svg" "$work/data.txt" > /dev/null
"$rsvg" -w 800 -f png -o "$work/chart.png" "$work/chart.svg" 2> "$work/errors"
test ! -s "$work/errors" || { cat "$work/errors" >&2; exit 1; }

# A blank document of the same size, rendered the same way: a compressed
# image of one colour is far smaller than one with lines and text.
size=$(sed -n 's/.* width="\([0-9]*\)" height="\([0-9]*\)".*/\1 \2/p' "$work/chart.svg" | head -1)
set -- $size
printf '<svg xmlns="http://www.w3.org/2000/svg" width="%s" height="%s"><rect width="%s" height="%s" fill="white"/></svg>\n' \
  "$1" "$2" "$1" "$2" > "$work/blank.svg"
"$rsvg" -w 800 -f png -o "$work/blank.png" "$work/blank.svg"
chart=$(wc -c < "$work/chart.png")
blank=$(wc -c < "$work/blank.png")
echo "chart.png $chart bytes, blank.png $blank bytes"
test "$chart" -gt $((blank * 10))
