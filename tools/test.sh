#!/usr/bin/env bash
# Sets up a fresh machine, builds, and runs every test (GUI tests on a private Xvfb).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
tools/build.sh
tools/cross-build-windows.sh
export GTEST_COLOR=no
# Wine is installed above: its run of the Windows build is required, not skipped.
export HC12_REQUIRE_WINE=1
# Likewise ser2net: the tests in front of it fail instead of skipping without it.
export HC12_REQUIRE_SER2NET=1
# Install, validate, package, and install the package once (removed again).
tools/check-install.sh build
# On a screen with a window manager, as on a desktop (the window tests also hold
# without one: xvfb-run -a -s "-screen 0 1280x1024x24" ctest --test-dir build).
tools/with-desktop.sh ctest --test-dir build --output-on-failure -j2
