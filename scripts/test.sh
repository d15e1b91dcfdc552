#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (widgets on the offscreen platform).
set -euo pipefail
cd "$(dirname "$0")/.."
# The package test needs dpkg-dev, file, desktop-file-utils and appstream; the tests on a
# real display run the program under Xvfb, driven by xdotool, and read the screen with
# ImageMagick and the window captions with xprop (x11-utils).
scripts/install-deps.sh dpkg-dev file desktop-file-utils appstream \
    xvfb xauth xdotool imagemagick x11-utils
scripts/build.sh
export QT_QPA_PLATFORM=offscreen
cd build
ctest -j2 --output-on-failure --timeout 300
