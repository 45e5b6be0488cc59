#!/usr/bin/env bash
# Renders the 256-pixel PNG of the program's icon from its SVG drawing
# (needs Debian's librsvg2-bin). The PNG is committed; run this after
# changing the drawing.
set -euo pipefail
cd "$(dirname "$0")"
rsvg-convert --width 256 --height 256 --output ambro.png ambro.svg
