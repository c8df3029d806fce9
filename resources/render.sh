#!/usr/bin/env bash
# Renders the PNG images of the program from their SVG sources. The PNGs are committed, so the
# build needs neither this script nor rsvg-convert; run it after changing an SVG.
# Needs: rsvg-convert (package librsvg2-bin) and the DejaVu fonts (fonts-dejavu-core).
set -euo pipefail
cd "$(dirname "$0")"

# render SVG WIDTH HEIGHT PNG
render() {
    rsvg-convert --width "$2" --height "$3" --output "$4" "$1"
}

# The application icon: the detailed drawing from 48 pixels up, the simpler one below.
for size in 16 24 32; do
    render app/kestro-small.svg "$size" "$size" "app/kestro-$size.png"
done
for size in 48 64 128 256; do
    render app/kestro.svg "$size" "$size" "app/kestro-$size.png"
done

# The 16 x 16 action icons and the learn-mode arrow, each also at twice the size for screens
# with a device pixel ratio of 2 (Qt picks the "@2x" file there).
for name in help about save-points learn; do
    render "actions/$name.svg" 16 16 "actions/$name.png"
    render "actions/$name.svg" 32 32 "actions/$name@2x.png"
done
render actions/learn-mode-arrow.svg 7 4 actions/learn-mode-arrow.png
render actions/learn-mode-arrow.svg 14 8 actions/learn-mode-arrow@2x.png

# The logos at the sizes the windows show them, and twice that.
render logos/product-logo.svg 90 90 logos/product-logo.png
render logos/product-logo.svg 180 180 logos/product-logo@2x.png
render logos/product-logo-wide.svg 119 42 logos/product-logo-wide.png
render logos/product-logo-wide.svg 238 84 logos/product-logo-wide@2x.png
render logos/maker-logo.svg 120 50 logos/maker-logo.png
render logos/maker-logo.svg 240 100 logos/maker-logo@2x.png
