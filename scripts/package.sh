#!/usr/bin/env bash
# Installs what is missing, builds the program alone in Release (build/release), and makes the
# Debian package build/parelix_<version>_amd64.deb with CPack. Install it with:
#   apt-get install ./build/parelix_<version>_amd64.deb
set -euo pipefail
cd "$(dirname "$0")/.."
# dpkg-shlibdeps (dpkg-dev, which calls file) computes the package's dependencies; lintian
# checks the package as Debian does.
scripts/install-deps.sh dpkg-dev file lintian
# Only the program: no tests, and the install step does not build the bench tools either.
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
      -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
cmake --build build/release -j2 --target parelix
rm -rf build/release/package
(cd build/release && cpack -G DEB -B "$PWD/package" >/dev/null)
debs=(build/release/package/*.deb)
[ ${#debs[@]} -eq 1 ] || { echo "expected one package, found: ${debs[*]}" >&2; exit 1; }
mv -f "${debs[0]}" build/
deb="build/$(basename "${debs[0]}")"
dpkg-deb --field "$deb"
# Errors fail the script; warnings and notes are shown.
lintian --fail-on error "$deb"
echo "Made $deb; install it with: apt-get install ./$deb"
