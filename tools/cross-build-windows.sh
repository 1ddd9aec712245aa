#!/usr/bin/env bash
# Builds everything for Windows with mingw-w64 into build-mingw/: the command-line
# program (src/cli/hc12prog-cli.exe), the window (src/app/hc12prog.exe, a single
# static executable), the window's tests for Wine (tests/wine/) and the installer
# (hc12prog-<version>-setup.exe). The window links wxMSW, which
# tools/build-wxmsw.sh builds once per machine into a cache outside the work tree.
set -euo pipefail
cd "$(dirname "$0")/.."
wx=$(tools/build-wxmsw.sh | tail -n1)
cmake -S . -B build-mingw -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DHC12_BUILD_GUI=ON -DHC12_BUILD_TESTS=OFF -DHC12_BUILD_WINE_TESTS=ON \
  -DwxWidgets_DIR="$wx/lib/cmake/wxWidgets" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-mingw -j2
