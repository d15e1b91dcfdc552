#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (widgets on the offscreen platform).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh dpkg-dev file desktop-file-utils appstream   # the package test
scripts/build.sh
export QT_QPA_PLATFORM=offscreen
cd build
ctest -j2 --output-on-failure --timeout 300
