#!/usr/bin/env bash
# SPDX-License-Identifier: BSD-3-Clause
# Redraws the banner, the about picture, the navigation tree's image strip and the fingerprint
# pictures into res/, and the tool's icon at the icon theme's sizes into desktop/icons/.
# The outputs are committed; run this only after changing the drawing code.
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake -S scripts/pictures -B "$work" -G Ninja >/dev/null
cmake --build "$work" >/dev/null
QT_QPA_PLATFORM=offscreen "$work/make_pictures" res desktop/icons
# Qt writes no GIF: ImageMagick joins the fingerprint frames into the looping animation.
convert -delay 10 -loop 0 res/finger_frame*.png res/finger.gif
rm -f res/finger_frame*.png
