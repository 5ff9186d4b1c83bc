#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Renders the toolbar icons (data/icons/toolbar/*.svg, drawn for Ostrel) to the PNG sizes the
# program carries in its resources. Needs ImageMagick; run it after changing a drawing.
set -euo pipefail
cd "$(dirname "$0")/../data/icons/toolbar"
for drawing in *.svg; do
    name=${drawing%.svg}
    for size in 16 24 32; do
        convert -background none -density $((384 * size / 16)) "$drawing" -resize "${size}x${size}" -strip \
            "PNG32:${name}-${size}.png"
    done
done
