#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (widgets on the offscreen platform).
set -euo pipefail
cd "$(dirname "$0")/.."
# dpkg-dev ... appstream: the package test; Xvfb, xdotool, ImageMagick's import and xprop
# (x11-utils): the tests that drive the program on a real display.
scripts/install-deps.sh dpkg-dev file desktop-file-utils appstream xvfb xdotool imagemagick x11-utils
scripts/build.sh
export QT_QPA_PLATFORM=offscreen
cd build
ctest -j2 --output-on-failure --timeout 300
