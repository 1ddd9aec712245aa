#!/usr/bin/env bash
# Cross-compiles the toolkit-free layers (and the Win32 serial port) with mingw-w64,
# so the Windows build stays real.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-mingw -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DHC12_BUILD_GUI=OFF -DHC12_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-mingw -j2
