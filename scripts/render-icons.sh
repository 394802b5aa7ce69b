#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Renders the PNG sizes of the application icon from its SVG drawing, into
# resources/desktop/icons/<size>/. Run it after changing the drawing and commit the result.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
desktop=$root/resources/desktop
for size in 16 24 32 48 64 128 256; do
    mkdir -p "$desktop/icons/$size"
    rsvg-convert --width "$size" --height "$size" --keep-aspect-ratio \
        "$desktop/org.orlette.Orlette.svg" -o "$desktop/icons/$size/org.orlette.Orlette.png"
done
