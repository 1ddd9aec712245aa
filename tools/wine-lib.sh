# Shared by the tools/wine-*.sh tests: finds Wine, makes a throw-away prefix in
# $work/prefix with its own wineserver, and takes both down again at exit.
#
#   source tools/wine-lib.sh
#   wine_find                 # sets $wine and $wineserver, or skips (exit 77)
#   wine_prefix "$work"       # sets WINEPREFIX, boots the prefix
#   wine_stop                 # in the script's exit trap
#   winpath /unix/path        # Z:\unix\path
#
# A missing Wine skips (exit 77), unless HC12_REQUIRE_WINE=1 (tools/test.sh), where
# it is a failure.

skip() {
  echo "SKIPPED: $*"
  if [ "${HC12_REQUIRE_WINE:-0}" = 1 ]; then exit 1; fi
  exit 77
}
fail() {
  echo "FAILED: $*"
  exit 1
}

wine_find() {
  wine=$(command -v wine64 || command -v wine || true)
  [ -z "$wine" ] && [ -x /usr/lib/wine/wine64 ] && wine=/usr/lib/wine/wine64
  [ -n "$wine" ] || skip "Wine is not installed (tools/install-deps.sh installs wine64)"
  wineserver=$(command -v wineserver || true)
  [ -z "$wineserver" ] && [ -x /usr/lib/wine/wineserver ] && wineserver=/usr/lib/wine/wineserver
  [ -n "$wineserver" ] || skip "wineserver not found beside $wine"
}

wine_prefix() {
  local dir=$1
  export WINEPREFIX="$dir/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  # Wine's helper processes inherit the descriptors of whoever starts them: every
  # Wine command writes into files, never into the script's output (a test runner
  # would wait for them otherwise).
  # Wine's server opens the devices. As root it would open a serial device that
  # another program holds exclusively (TIOCEXCL binds only processes without
  # CAP_SYS_ADMIN); without that capability it finds it busy, as a user does.
  local server=("$wineserver")
  if [ "$(id -u)" = 0 ] && command -v setpriv >/dev/null; then
    server=(setpriv --bounding-set=-sys_admin "$wineserver")
  fi
  mkdir -p "$WINEPREFIX"  # the server starts only in an existing prefix folder
  "${server[@]}" -p </dev/null >"$dir/wineserver.log" 2>&1
  timeout 300 "$wine" wineboot -i </dev/null >"$dir/wineboot.log" 2>&1 || { cat "$dir/wineboot.log"; fail "wineboot"; }
  [ -d "$WINEPREFIX/dosdevices" ] || fail "wineboot made no prefix"
}

wine_stop() {
  [ -n "${WINEPREFIX:-}" ] && "$wineserver" -k >/dev/null 2>&1
  return 0
}

winpath() { echo "Z:${1//\//\\}"; }

# start_board BOARD LOG ARGS...: starts hc12prog-board (BOARD) with ARGS in the
# background, its output in LOG.out and LOG.err; sets started_pid, and started_pts
# to the pseudo-terminal it serves once it says so.
start_board() {
  local board=$1 log=$2
  shift 2
  rm -f "$log.out"
  "$board" "$@" >"$log.out" 2>"$log.err" &
  started_pid=$!
  for _ in $(seq 100); do [ -s "$log.out" ] && break; sleep 0.05; done
  started_pts=$(head -n1 "$log.out")
  [[ "$started_pts" == /dev/pts/* ]] || { cat "$log.err"; fail "hc12prog-board printed no device"; }
}
