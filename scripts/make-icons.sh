#!/bin/sh
# Draws the menu icons from the window icon's pixel art, so every size shows the same chip:
# resources/icons/brindlehof-N.png at whole multiples of the 16- and 32-pixel drawings (48 from
# 16, the rest from 32, each pixel a square block) and brindlehof.svg, one square per pixel.
# Needs ImageMagick's convert. Run it again only when resources/icon16.xpm or icon32.xpm change.
set -eu
res=$(cd "$(dirname "$0")/../resources" && pwd)
out=$res/icons
mkdir -p "$out"

scale() { # source.xpm factor size
    convert "$res/$1" -filter point -scale "$2%" -strip -define png:exclude-chunks=date,time \
        "PNG32:$out/brindlehof-$3.png"
}
scale icon16.xpm 100 16
scale icon32.xpm 100 32
scale icon16.xpm 300 48
scale icon32.xpm 200 64
scale icon32.xpm 400 128
scale icon32.xpm 800 256

# One rect per run of same-coloured pixels in a row of the 32-pixel drawing.
awk '
    /^"/ { gsub(/^"|",?$/, ""); line[++n] = $0 }
    END {
        split(line[1], head, " "); w = head[1]; h = head[2]; colours = head[3]
        for (i = 2; i <= colours + 1; i++) {
            key = substr(line[i], 1, 1); split(substr(line[i], 2), v, " ")
            fill[key] = v[2]
        }
        printf "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" viewBox=\"0 0 %d %d\" shape-rendering=\"crispEdges\">\n", w, h, w, h
        for (y = 0; y < h; y++) {
            row = line[colours + 2 + y]
            for (x = 0; x < w; x = end) {
                key = substr(row, x + 1, 1)
                for (end = x + 1; end < w && substr(row, end + 1, 1) == key; end++) {}
                if (fill[key] != "None")
                    printf "<rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"1\" fill=\"%s\"/>\n", x, y, end - x, fill[key]
            }
        }
        print "</svg>"
    }' "$res/icon32.xpm" >"$out/brindlehof.svg"
