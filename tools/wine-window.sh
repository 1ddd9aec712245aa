#!/usr/bin/env bash
# The Windows window under Wine on the display ($DISPLAY), driven with real clicks
# and keys by its test program (tests/wine, built for Windows), against
# hc12prog-board on pseudo-terminals mapped as COM ports:
#
#   COM1  a board (HC912D60x, 8 MHz quartz) with a random EEPROM: model chosen,
#         connect with Auto quartz, read, one cell typed over, write; afterwards
#         the board's EEPROM must be the old one with exactly that byte changed
#   COM2  a second board, stopped here when the program says it is reading, and
#         its COM port unmapped (an adapter pulled out)
#   COM12 the first board again, for a port from COM10 up
#   COM3  mapped to nothing: a port that does not exist
#   COM4  a third board whose device another program holds (TIOCEXCL) until the
#         program asks for it to be let go
#
# and an S-record file with a Polish name loaded and saved again (the saved file
# must hold the same data). Then, with Wine's screen at 144 DPI (Windows' 150 %;
# HC12_WINE_HIGH_DPI=120 or 192 tries another), the layout checks, the About box
# and the session once more, against a fresh board on COM1.
#
#   tools/wine-window.sh BOARD TESTS_EXE   (hc12prog-board, hc12prog-window-tests.exe)
#
# Exits 77 (skipped) when Wine, the display or the Windows build is missing, unless
# HC12_REQUIRE_WINE=1 (tools/test.sh), where that is a failure.
set -uo pipefail
board=$1
tests_exe=$2

source "$(dirname "$0")/wine-lib.sh"
wine_find
[ -f "$tests_exe" ] || skip "$tests_exe is not built (tools/cross-build-windows.sh builds it)"
[ -n "${DISPLAY:-}" ] || skip "no display (run under tools/with-desktop.sh or xvfb-run)"
command -v srec_cmp >/dev/null || skip "srec_cmp is missing (Debian package srecord)"

work=$(mktemp -d)
files=$work/files
mkdir -p "$files"
pids=()
tests_pid=""
cleanup() {
  [ -n "$tests_pid" ] && kill "$tests_pid" 2>/dev/null
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
  wine_stop
  rm -rf "$work"
}
trap cleanup EXIT
trap "exit 130" INT TERM HUP

wine_prefix "$work"

# A board on COM1 whose EEPROM starts as 1 KiB of random bytes (FILES/preload.bin),
# dumped at its end to DUMP.
start_preloaded_board() {
  local log=$1 files=$2 dump=$3
  head -c 1024 /dev/urandom >"$files/preload.bin"
  start_board "$board" "$log" --image "$files/preload.bin" --dump "$dump" model=HC912D60x,quartz=8
  pids+=("$started_pid")
  ln -sfn "$started_pts" "$WINEPREFIX/dosdevices/com1"
}

start_preloaded_board "$work/board1" "$files" "$work/dump1.bin"
board1=$started_pid
ln -sfn "$started_pts" "$WINEPREFIX/dosdevices/com12"
start_board "$board" "$work/board2" model=HC912D60x,quartz=8
board2=$started_pid
pids+=("$board2")
ln -sfn "$started_pts" "$WINEPREFIX/dosdevices/com2"
ln -sfn "$work/no-such-device" "$WINEPREFIX/dosdevices/com3"
start_board "$board" "$work/board3" model=HC912D60x,quartz=8
pids+=("$started_pid")
ln -sfn "$started_pts" "$WINEPREFIX/dosdevices/com4"
# Another program holding COM4's device exclusively, as serial programs on Linux do.
# The board keeps the pseudo-terminal alive, so the holder clears the mode itself
# when it lets go (TIOCNXCL), as the last close of a real device would.
perl -e 'open(my $tty, "+<", $ARGV[0]) or die "$ARGV[0]: $!\n";
         ioctl($tty, 0x540C, 0) or die "TIOCEXCL: $!\n";
         $SIG{TERM} = sub { ioctl($tty, 0x540D, 0); exit 0 };
         sleep 600' "$started_pts" 2>"$work/holder.err" &
holder=$!
pids+=("$holder")

# 32 bytes at 0C10 as S-records, under a name with Polish letters.
head -c 32 /dev/urandom >"$files/srec-data.bin"
srec_cat "$files/srec-data.bin" -binary -offset 0x0C10 -o "$files/wejście.s19" -motorola ||
  fail "srec_cat"

# run_tests FILES OUT ARGS...: the window's tests with HC12_WINE_WORK=FILES, their
# output in OUT, ARGS for the test program; does what the tests ask on the way.
run_tests() {
  local dir=$1 out=$2
  shift 2
  HC12_WINE_WORK=$(winpath "$dir") "$wine" "$tests_exe" --gtest_color=no "$@" \
    </dev/null >"$out" 2>&1 &
  tests_pid=$!
  # The program asks for COM4 to be let go, and for COM2's board to be stopped in
  # the middle of its read; every wait here is bounded (the program gives up on its
  # side as well).
  for _ in $(seq 6000); do
    kill -0 "$tests_pid" 2>/dev/null || break
    if [ -f "$dir/release-com4" ] && [ ! -f "$dir/com4-released" ]; then
      kill "$holder"
      wait "$holder" 2>/dev/null
      touch "$dir/com4-released"
    fi
    if [ -f "$dir/stop-board" ] && [ ! -f "$dir/board-stopped" ]; then
      # As when a USB adapter is pulled out: the device and its COM port go.
      kill "$board2"
      wait "$board2"
      rm -f "$WINEPREFIX/dosdevices/com2"
      touch "$dir/board-stopped"
    fi
    sleep 0.1
  done
  if kill -0 "$tests_pid" 2>/dev/null; then
    kill "$tests_pid"
    cat "$out"
    fail "the window's tests did not finish in 10 minutes"
  fi
  wait "$tests_pid"
  local status=$?
  tests_pid=""
  cat "$out"
  [ "$status" = 0 ] || fail "the window's tests (exit status $status)"
}

# check_dump BOARD_PID DUMP FILES: the board's EEPROM once it is stopped must be
# FILES/preload.bin with exactly the byte the test wrote (FILES/edited.txt) changed.
check_dump() {
  local pid=$1 dump=$2 dir=$3
  kill "$pid"
  wait "$pid" || fail "hc12prog-board ended with an error"
  read -r index value < <(tr -d '\r' <"$dir/edited.txt") || fail "the test did not say which byte it changed"
  cp "$dir/preload.bin" "$dir/expected.bin"
  printf "$(printf '\\x%02x' "$value")" |
    dd of="$dir/expected.bin" bs=1 seek="$index" conv=notrunc status=none
  cmp "$dump" "$dir/expected.bin" || fail "the board's EEPROM is not the read one with byte $index changed"
  echo "   byte $index is now $(printf '%02X' "$value"), the other 1023 as they were"
}

echo "== the window's tests under Wine"
run_tests "$files" "$work/tests.out"

echo "== the board's EEPROM after the window's write"
check_dump "$board1" "$work/dump1.bin" "$files"

echo "== the saved S-record file"
srec_cmp "$files/wejście.s19" "$files/zapis_łódź.s19" ||
  fail "the saved S-records differ from the loaded ones"
echo "   the same 32 bytes at 0C10"
dpi=${HC12_WINE_HIGH_DPI:-144}
echo "== at $dpi DPI: the layout, the About box, and a session with a fresh board on COM1"
# Wine takes the screen's DPI from the user's desktop settings when a program starts.
"$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f \
  </dev/null >"$work/reg.log" 2>&1 || { cat "$work/reg.log"; fail "wine reg add LogPixels"; }
files_dpi=$work/files-dpi
mkdir -p "$files_dpi"
start_preloaded_board "$work/board-dpi" "$files_dpi" "$work/dump-dpi.bin"
board_dpi=$started_pid
HC12_WINE_DPI=$dpi run_tests "$files_dpi" "$work/tests-dpi.out" \
  --gtest_filter='WindowOnComPort.LayoutFitsTheScreenDpi:WindowOnComPort.AboutBox:WindowOnComPort.SessionWithTheBoard'
check_dump "$board_dpi" "$work/dump-dpi.bin" "$files_dpi"
echo "PASSED"
