#!/usr/bin/env bash
# Installs the Debian packages Parelix needs to build and test, when some are missing.
set -euo pipefail
packages=(build-essential cmake pkg-config qt6-base-dev qt6-svg-dev libqt6svg6 libgl-dev
          libglib2.0-dev libicu-dev libgtest-dev googletest fonts-dejavu-core
          qt6-translations-l10n "$@")   # Qt's own French, for its dialogs
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
echo "Installing: ${missing[*]}" >&2
$SUDO apt-get update -q
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
