#!/usr/bin/env bash
# Configures and builds into build/ (both cores); arguments go to the configuration
# (scripts/test.sh turns warnings into errors with -DPARELIX_WERROR=ON).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build build -j2
