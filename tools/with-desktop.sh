#!/usr/bin/env bash
# Runs a command on a private Xvfb screen with a window manager (openbox), as on a
# desktop, then stops both again.
#   tools/with-desktop.sh COMMAND [ARGS...]
# The window tests must hold with and without a window manager; CI runs them here.
set -euo pipefail

dir=$(mktemp -d "${TMPDIR:-/tmp}/hc12-desktop.XXXXXX")
xvfb_pid=""
wm_pid=""
cleanup() {
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null && wait "$wm_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null || true
  rm -rf "$dir"
}
trap cleanup EXIT

# Xvfb picks a free display itself and tells its number on a pipe.
mkfifo "$dir/displayfd"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$dir/displayfd" \
  >"$dir/xvfb.log" 2>&1 &
xvfb_pid=$!
read -r -t 30 number <"$dir/displayfd" || {
  echo "with-desktop: Xvfb did not start" >&2
  cat "$dir/xvfb.log" >&2
  exit 1
}
export DISPLAY=":$number"

for _ in $(seq 100); do
  xdpyinfo >/dev/null 2>&1 && break
  sleep 0.1
done

# Openbox is managing once it has announced itself on the root window.
managing=no
for attempt in 1 2 3; do
  openbox --sm-disable >"$dir/openbox.log" 2>&1 &
  wm_pid=$!
  for _ in $(seq 100); do
    if xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; then
      managing=yes
      break
    fi
    kill -0 "$wm_pid" 2>/dev/null || break
    sleep 0.1
  done
  [ "$managing" = yes ] && break
  kill "$wm_pid" 2>/dev/null && wait "$wm_pid" 2>/dev/null || true
  wm_pid=""
  sleep 0.5
done
if [ "$managing" != yes ]; then
  echo "with-desktop: openbox did not start" >&2
  cat "$dir/openbox.log" >&2
  exit 1
fi

status=0
"$@" || status=$?
exit "$status"
