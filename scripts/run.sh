#!/usr/bin/env bash
# Installs what is missing, builds, and starts Parelix.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh xvfb xauth   # xvfb-run, for machines without a display
scripts/build.sh
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "Parelix is a desktop program and needs a display; without one, start it with: xvfb-run -a build/parelix" >&2
    exit 1
fi
exec build/parelix
