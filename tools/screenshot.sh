#!/usr/bin/env bash
# Starts the programmer on a private Xvfb screen and saves a picture of the whole
# screen (default: shot.png). Needs xvfb-run and imagemagick's import.
#   tools/screenshot.sh [out.png] [program arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-shot.png}"
shift || true
exe="${HC12PROG:-build/src/app/hc12prog}"
case "$out" in /*) ;; *) out="$PWD/$out" ;; esac
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  "$1" "${@:3}" & pid=$!
  sleep 3
  import -window root "$2"
  kill "$pid"
' _ "$exe" "$out" "$@"
echo "saved $out"
