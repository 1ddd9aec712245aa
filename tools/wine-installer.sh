#!/usr/bin/env bash
# The Windows programs and their installer: first the programs themselves (single
# executables that need only Windows' own DLLs, with icon, version information and
# manifest), then the installer under Wine on the display ($DISPLAY), for all
# users and for the current user: a silent install (/S), the files, the Start-menu
# entry and the uninstall entry are there, the installed window starts and shows
# its title, and the silent uninstall removes them all.
#
#   tools/wine-installer.sh BUILD_MINGW     (the cross build, e.g. build-mingw)
#
# Exits 77 (skipped) when Wine, the display or the Windows build is missing, unless
# HC12_REQUIRE_WINE=1 (tools/test.sh), where that is a failure.
set -uo pipefail
build=$1

source "$(dirname "$0")/wine-lib.sh"
wine_find
version=$(sed -n 's/^project(hc12prog VERSION \([0-9.]*\).*/\1/p' "$(dirname "$0")/../CMakeLists.txt")
setup=$build/hc12prog-$version-setup.exe
window=$build/src/app/hc12prog.exe
cli=$build/src/cli/hc12prog-cli.exe
for f in "$setup" "$window" "$cli"; do
  [ -f "$f" ] || skip "$f is not built (tools/cross-build-windows.sh builds it)"
done
[ -n "${DISPLAY:-}" ] || skip "no display (run under tools/with-desktop.sh or xvfb-run)"

work=$(mktemp -d)
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
  wine_stop
  rm -rf "$work"
}
trap cleanup EXIT
trap "exit 130" INT TERM HUP

objdump=x86_64-w64-mingw32-objdump
echo "== the programs"
for exe in "$window" "$cli"; do
  name=$(basename "$exe")
  $objdump -p "$exe" >"$work/headers.txt" || fail "$name: objdump"
  # Windows' own DLLs only: no C++ runtime, threads library or wxWidgets beside it.
  sed -n 's/^\s*DLL Name: //p' "$work/headers.txt" | tr '[:upper:]' '[:lower:]' | sort -u >"$work/dlls.txt"
  foreign=$(grep -vxE 'kernel32.dll|user32.dll|gdi32.dll|comdlg32.dll|comctl32.dll|advapi32.dll|shell32.dll|shlwapi.dll|ole32.dll|oleaut32.dll|uuid.dll|rpcrt4.dll|winspool.drv|winmm.dll|version.dll|uxtheme.dll|oleacc.dll|imm32.dll|msimg32.dll|ws2_32.dll|msvcrt.dll|gdiplus.dll|d2d1.dll|dwrite.dll|windowscodecs.dll|usp10.dll|dwmapi.dll|msftedit.dll' "$work/dlls.txt")
  [ -z "$foreign" ] || fail "$name needs DLLs that Windows does not have: $foreign"
  mkdir -p "$work/res-$name"
  wrestool -l "$exe" >"$work/resources.txt" 2>&1 || fail "$name: wrestool"
  grep -q -- "--type=14" "$work/resources.txt" || fail "$name has no icon"
  wrestool -x --raw --type=16 "$exe" | iconv -f UTF-16LE -t UTF-8 2>/dev/null | tr -d '\0' >"$work/version.txt"
  grep -q "$version" "$work/version.txt" || fail "$name has no version information $version"
  wrestool -x --raw --type=24 "$exe" >"$work/manifest.xml"
  grep -q "Microsoft.Windows.Common-Controls" "$work/manifest.xml" || fail "$name: no common controls 6 in its manifest"
  grep -q ">system</dpiAwareness>" "$work/manifest.xml" || fail "$name: no DPI awareness in its manifest"
  echo "   $name: $(wc -l <"$work/dlls.txt") system DLLs, icon, version $version, manifest"
done
grep -qE "^Subsystem\s+0+2\s" <($objdump -p "$window") || fail "hc12prog.exe is not a window program"

wine_prefix "$work"
c=$WINEPREFIX/drive_c

reg_has() {  # reg_has KEY: whether the registry key exists
  timeout 60 "$wine" reg query "$1" </dev/null >"$work/reg.txt" 2>&1
}

# Waits up to 60 s for a condition; the uninstaller runs on in a copy of itself.
within_a_minute() {
  for _ in $(seq 600); do
    eval "$1" && return 0
    sleep 0.1
  done
  return 1
}

title_shown() {
  xwininfo -root -tree 2>/dev/null | grep -q "Motorola HC9(S)12 ver.3.0"
}

cycle() {  # cycle MODE INSTDIR(unix) STARTMENU(unix) HIVE
  local mode=$1 dir=$2 menu=$3 hive=$4
  local key="$hive\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\hc12prog"
  echo "== silent install, $mode"
  timeout 300 "$wine" "$(winpath "$(realpath "$setup")")" /S "/$mode" </dev/null >"$work/setup.log" 2>&1 ||
    { cat "$work/setup.log"; fail "$mode: the installer failed"; }
  for f in hc12prog.exe hc12prog-cli.exe README.md uninstall.exe; do
    [ -f "$dir/$f" ] || fail "$mode: $dir/$f was not installed"
  done
  cmp "$dir/hc12prog.exe" "$window" || fail "$mode: the installed window is not the one built"
  [ -f "$menu/HC12-HCS12 EEPROM Programmer.lnk" ] || fail "$mode: no Start-menu entry in $menu"
  reg_has "$key" || { cat "$work/reg.txt"; fail "$mode: no uninstall entry $key"; }
  grep -q "DisplayName.*HC12/HCS12 EEPROM Programmer" "$work/reg.txt" || fail "$mode: uninstall entry without a name"
  grep -q "UninstallString.*uninstall.exe" "$work/reg.txt" || fail "$mode: uninstall entry without a command"
  echo "   files, Start-menu entry and uninstall entry are there"

  "$wine" "$(winpath "$dir")\\hc12prog.exe" --port COM1=virtual </dev/null >"$work/app.log" 2>&1 &
  app_pid=$!
  within_a_minute title_shown || { cat "$work/app.log"; fail "$mode: the installed window did not show its title"; }
  # Closed as a user closes it: the window gets its close request and ends.
  timeout 60 "$wine" taskkill /im hc12prog.exe </dev/null >"$work/taskkill.log" 2>&1
  within_a_minute '! kill -0 $app_pid 2>/dev/null' || fail "$mode: the window did not close"
  wait "$app_pid"
  app_pid=""
  echo "   the installed window started with its title and closed"

  echo "== silent uninstall, $mode"
  timeout 300 "$wine" "$(winpath "$dir")\\uninstall.exe" /S "/$mode" </dev/null >"$work/uninstall.log" 2>&1 ||
    { cat "$work/uninstall.log"; fail "$mode: the uninstaller failed"; }
  within_a_minute '[ ! -e "$dir" ]' || fail "$mode: $dir is still there: $(ls "$dir")"
  [ ! -e "$menu/HC12-HCS12 EEPROM Programmer.lnk" ] || fail "$mode: the Start-menu entry is still there"
  ! reg_has "$key" || fail "$mode: the uninstall entry is still there"
  echo "   files, Start-menu entry and uninstall entry are gone"
}

cycle AllUsers "$c/Program Files/hc12prog" \
  "$c/ProgramData/Microsoft/Windows/Start Menu/Programs" HKLM
user_dir=$(ls -d "$c/users/"*/ | grep -v "/Public/$" | head -n1)
cycle CurrentUser "${user_dir}AppData/Local/Programs/hc12prog" \
  "${user_dir}AppData/Roaming/Microsoft/Windows/Start Menu/Programs" HKCU
echo "PASSED"
