#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors, and runs every test (widgets on the
# offscreen platform); then builds the tests again with AddressSanitizer and
# UndefinedBehaviorSanitizer in build-asan/ and runs them there (the tests on a real display
# and the package's are the normal build's). Last, the readers and the comparison's exactness
# under ThreadSanitizer, in build-tsan/.
set -euo pipefail
cd "$(dirname "$0")/.."
# The package test needs dpkg-dev, file, desktop-file-utils, appstream and lintian; the tests on a
# real display run the program under Xvfb, driven by xdotool, and read the screen with
# ImageMagick and the window captions with xprop (x11-utils, which also gives xdpyinfo).
scripts/install-deps.sh dpkg-dev file desktop-file-utils appstream lintian \
    xvfb xauth xdotool imagemagick x11-utils
scripts/build.sh -DPARELIX_WERROR=ON
export QT_QPA_PLATFORM=offscreen
(cd build && ctest -j2 --output-on-failure --timeout 300)

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPARELIX_SANITIZE=ON -DPARELIX_WERROR=ON >/dev/null
cmake --build build-asan -j2
export ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd build-asan && ctest -j2 --output-on-failure --timeout 600 -E 'RealDisplay|KeyboardDisplay|DebianPackage')

# Only what runs on several threads: the readers, the comparison through them, the sort ahead
# of the walk with the comparison during its last merge, and the walk
# with its folders listed ahead.
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPARELIX_TSAN=ON -DPARELIX_WERROR=ON >/dev/null
cmake --build build-tsan -j2 --target platform_read_ahead_test engine_duplicates_exactness_test engine_collect_ahead_test
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
build-tsan/tests/platform_read_ahead_test
build-tsan/tests/engine_duplicates_exactness_test \
    --gtest_filter='*ChunkEdges*:*seed1:*seed8_shortReads:*seed11_shortReads_probesReadAgain:*SortingAhead*'
build-tsan/tests/engine_collect_ahead_test --gtest_filter='WalkAhead*'
