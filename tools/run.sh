#!/usr/bin/env bash
# Sets up a fresh machine, builds, and starts the programmer. Without arguments COM1
# is the virtual board; pass e.g. "--port COM1=/dev/ttyUSB0" for a real one.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
tools/build.sh
if [ $# -eq 0 ] && [ -z "${HC12_PORT_COM1:-}" ]; then
  set -- --port COM1=virtual
fi
exec build/src/app/hc12prog "$@"
