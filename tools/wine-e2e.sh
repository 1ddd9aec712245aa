#!/usr/bin/env bash
# The Windows command-line program under Wine: the Win32 serial port through a COM
# port that Wine maps to hc12prog-board's pseudo-terminal (connect, read and a
# 64-byte write on both families, the board's dump compared), the virtual board
# on the virtual clock, and the English the .exe carries (a catalog beside it first).
#
#   tools/wine-e2e.sh BOARD EXE [CATALOG]
#     BOARD: hc12prog-board, EXE: hc12prog-cli.exe, CATALOG: the English hc12prog.mo
#     of the build (to put a changed copy beside the .exe)
#
# Exits 77 (skipped) when Wine or the Windows build is missing, unless
# HC12_REQUIRE_WINE=1 (tools/test.sh), where that is a failure.
set -uo pipefail
board=$1
exe=$2
catalog=${3:-}

source "$(dirname "$0")/wine-lib.sh"
wine_find
[ -f "$exe" ] || skip "$exe is not built (tools/cross-build-windows.sh builds it)"

work=$(mktemp -d)
board_pid=""
cleanup() {
  if [ -n "$board_pid" ]; then kill "$board_pid" 2>/dev/null; wait "$board_pid" 2>/dev/null; fi
  wine_stop
  rm -rf "$work"
}
trap cleanup EXIT
trap "exit 130" INT TERM HUP

wine_prefix "$work"
# Runs the program; its messages in $work/err.txt.
cli() {
  "$wine" "$exe" "$@" </dev/null >"$work/out.txt" 2>"$work/err.txt"
}

random_bytes() {  # random_bytes SIZE FILE
  head -c "$1" /dev/urandom >"$2"
}

cycle() {  # cycle MODEL BOARD_QUARTZ QUARTZ EEPROM_SIZE
  local model=$1 board_quartz=$2 quartz=$3 size=$4
  echo "== COM5 -> hc12prog-board, $model"
  random_bytes "$size" "$work/preload.bin"
  rm -f "$work/dump.bin"
  start_board "$board" "$work/board" --image "$work/preload.bin" --dump "$work/dump.bin" \
    "model=$model,quartz=$board_quartz"
  board_pid=$started_pid
  ln -sfn "$started_pts" "$WINEPREFIX/dosdevices/com5"
  local common=(--port COM5 --model "$model" --quartz "$quartz")

  cli "${common[@]}" connect || { cat "$work/err.txt"; fail "$model: connect"; }
  grep -q "Połączony." "$work/err.txt" || { cat "$work/err.txt"; fail "$model: connect says nothing of the connection"; }

  cli "${common[@]}" --count 128 read "$(winpath "$work/before.bin")" || { cat "$work/err.txt"; fail "$model: read"; }
  cmp -n 128 "$work/before.bin" "$work/preload.bin" || fail "$model: the read differs from the board's image"
  [ "$(stat -c %s "$work/before.bin")" = 128 ] || fail "$model: the read file is not 128 bytes"

  random_bytes 64 "$work/image.bin"
  cli "${common[@]}" --count 64 write "$(winpath "$work/image.bin")" || { cat "$work/err.txt"; fail "$model: write"; }
  grep -q "Zapisano  64  bajtów." "$work/err.txt" || { cat "$work/err.txt"; fail "$model: write summary"; }

  # What the EEPROM holds now: the image, then the rest of the preload (the write
  # changes the window's words only; with --full an MC9S12 would be bulk-erased).
  cp "$work/image.bin" "$work/expected.bin"
  tail -c +65 "$work/preload.bin" >>"$work/expected.bin"
  cli "${common[@]}" --count 128 read "$(winpath "$work/back.bin")" || { cat "$work/err.txt"; fail "$model: read back"; }
  cmp -n 128 "$work/back.bin" "$work/expected.bin" || fail "$model: read back differs from what was written"

  kill "$board_pid"
  wait "$board_pid" || fail "$model: hc12prog-board ended with an error"
  board_pid=""
  cmp "$work/dump.bin" "$work/expected.bin" || fail "$model: the board's EEPROM differs from what was written"
  echo "   connect, read, 64-byte write, read back: as expected"
}

cycle HC912D60x 8 8 1024
cycle MC9S12DT128 16 auto 2048

echo "== virtual board, virtual clock"
for model in HC912D60x MC9S12DT128; do
  common=(--port "virtual:model=$model,quartz=8" --virtual-clock --model "$model" --quartz 8)
  random_bytes 64 "$work/v.bin"
  cli "${common[@]}" --count 64 write "$(winpath "$work/v.bin")" || { cat "$work/err.txt"; fail "virtual $model: write"; }
  grep -q "Zapisano  64  bajtów." "$work/err.txt" || { cat "$work/err.txt"; fail "virtual $model: write summary"; }
  cli "${common[@]}" --count 64 read "$(winpath "$work/vr.bin")" || { cat "$work/err.txt"; fail "virtual $model: read"; }
  # A fresh virtual board each run: its EEPROM reads erased.
  head -c 64 /dev/zero | tr '\0' '\377' | cmp - "$work/vr.bin" || fail "virtual $model: read"
  echo "   $model: write and read"
done

echo "== languages"
lines() { tr -d '\r' <"$work/err.txt"; }  # the Windows console ends lines in CRLF
# English from the catalog built into the .exe, by --lang, HC12_LANG or LANG (Wine
# hands the environment to the program); Polish stays Polish.
connect=(--port virtual:model=MC9S12DT128 --virtual-clock --model MC9S12DT128 connect)
english="Parameters: RAM: 8 KB  Start: 0x4000 EEPROM: 2 KB  Start: 0x2000"
for choice in "--lang en" "HC12_LANG=en" "LANG=en_US.UTF-8"; do
  args=()
  vars=(-u HC12_LANG -u LANGUAGE -u LC_ALL -u LC_MESSAGES LANG=pl_PL.UTF-8)
  case "$choice" in --*) args=($choice) ;; *) vars+=("$choice") ;; esac
  env "${vars[@]}" "$wine" "$exe" "${args[@]}" "${connect[@]}" </dev/null >"$work/out.txt" 2>"$work/err.txt" \
    || { cat "$work/err.txt"; fail "$choice: connect"; }
  lines | grep -qx "$english" && lines | grep -qx "Connected." \
    || { cat "$work/err.txt"; fail "$choice: not English"; }
  echo "   $choice: English"
done
env -u HC12_LANG -u LANGUAGE -u LC_ALL -u LC_MESSAGES LANG=pl_PL.UTF-8 "$wine" "$exe" "${connect[@]}" \
  </dev/null >"$work/out.txt" 2>"$work/err.txt" || { cat "$work/err.txt"; fail "Polish connect"; }
grep -q "^Parametry: RAM: 8 KB  Początek: 0x4000" "$work/err.txt" || { cat "$work/err.txt"; fail "not Polish"; }
# A failure in English keeps its exit status.
"$wine" "$exe" --lang en --port virtual:no-target --virtual-clock --model HC912D60x --quartz 8 connect \
  </dev/null >"$work/out.txt" 2>"$work/err.txt"
status=$?
[ "$status" = 3 ] && lines | grep -qx "Error: Could not connect to the processor" \
  || { cat "$work/err.txt"; fail "English failure: status $status"; }
# A catalog next to the .exe goes before the built-in one.
if [ -n "$catalog" ]; then
  mkdir -p "$work/app/locale/en/LC_MESSAGES"
  cp "$exe" "$work/app/"
  msgunfmt "$catalog" \
    | sed 's/^msgstr "Connected\."$/msgstr "Connected (catalog beside the program)."/' \
    | msgfmt -o "$work/app/locale/en/LC_MESSAGES/hc12prog.mo" - \
    || fail "a changed copy of $catalog could not be made"
  "$wine" "$work/app/$(basename "$exe")" --lang en "${connect[@]}" </dev/null >"$work/out.txt" 2>"$work/err.txt" \
    || { cat "$work/err.txt"; fail "the .exe with a catalog beside it"; }
  lines | grep -qx "Connected (catalog beside the program)." \
    || { cat "$work/err.txt"; fail "the catalog beside the .exe was not read"; }
  echo "   a catalog beside the .exe: read"
fi
echo "== a production run: two virtual boards, a serial number ledger, the unit log, backups"
mkdir -p "$work/backups"
random_bytes 64 "$work/p.bin"
cli --virtual-clock --quartz 8 --count 64 --yes \
  --port virtual:model=HC912D60x --port virtual:model=MC9S12DT128 \
  --model HC912D60x --model MC9S12DT128 \
  --serial +3C:4 --serial-file "$(winpath "$work/serials.txt")" --serial-first 10 \
  --log "$(winpath "$work/units.csv")" --backup "$(winpath "$work/backups")" \
  write "$(winpath "$work/p.bin")" || { cat "$work/err.txt"; fail "production run"; }
[ "$(grep -c ',write,1[01],00 00 00 0[AB],ok,0,' "$work/units.csv")" = 2 ] ||
  { cat "$work/units.csv"; fail "production run: the unit log"; }
[ "$(ls "$work/backups" | grep -c '^sn1[01]-.*\.s19$')" = 2 ] || fail "production run: the backups"
cli serials "$(winpath "$work/serials.txt")" || { cat "$work/err.txt"; fail "serials"; }
grep -q "next:        12 " "$work/out.txt" || { cat "$work/out.txt"; fail "serials: the next number"; }
echo "   two units, numbers 10 and 11, two log lines, two backups"
echo "PASSED"
