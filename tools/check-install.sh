#!/usr/bin/env bash
# Checks that a build installs like a Linux desktop application:
#   1. `cmake --install` into a temporary prefix puts the programs, the desktop
#      entry, the AppStream metainfo, the hicolor icons and the manual pages there;
#   2. desktop-file-validate and appstreamcli validate --no-net accept them;
#   3. the installed command-line program runs from the prefix, and speaks English
#      from the installed catalog where the locale asks for it (Polish otherwise);
#   4. cpack -G DEB builds the package, whose contents and dependencies are listed;
#   5. (as root, or with passwordless sudo) apt-get installs the package, the
#      window program starts from /usr/bin through the desktop entry's command
#      line on a private Xvfb display, and the package is purged again, together
#      with anything apt had to pull in for it, so the system is left as it was.
#      Skipped when hc12prog is already installed (not ours to remove), or with
#      HC12_CHECK_APT=0.
#
# Usage: tools/check-install.sh [BUILD_DIR]     (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")

fail() { echo "check-install: FAIL: $*" >&2; exit 1; }
note() { echo "check-install: [${SECONDS}s] $*"; }

[ -f "$build/CMakeCache.txt" ] || fail "$build is not a configured build directory"
for tool in desktop-file-validate appstreamcli dpkg-deb dpkg-shlibdeps file cpack msgfmt msgunfmt; do
  command -v "$tool" >/dev/null || fail "$tool is missing (tools/install-deps.sh installs it)"
done

cache_value() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
app_id=$(cache_value HC12_APP_ID)
[ -n "$app_id" ] || fail "HC12_APP_ID not in the cache: cmake/Packaging.cmake was not included"

# Which programs this build has (the install rules follow the targets).
programs=()
for p in src/app/hc12prog src/cli/hc12prog-cli src/board/hc12prog-board; do
  if [ -x "$build/$p" ]; then programs+=("$(basename "$p")"); fi
done
note "programs built: ${programs[*]:-none}"

work=$(mktemp -d)
chmod 755 "$work"  # apt reads the package as the user _apt
installed_by_us=""
extra_packages=()
cleanup() {
  if [ -n "$installed_by_us" ]; then
    note "purging the package again"
    $SUDO env DEBIAN_FRONTEND=noninteractive apt-get purge -y -q hc12prog "${extra_packages[@]}" \
      >"$work/purge.log" 2>&1 || { cat "$work/purge.log" >&2; echo "check-install: purge failed" >&2; }
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap "exit 130" INT TERM HUP

# --- 1. install into a temporary prefix ----------------------------------------

prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" --component hc12prog >"$work/install.log" \
  || { cat "$work/install.log" >&2; fail "cmake --install"; }

has() { [[ " ${programs[*]} " == *" $1 "* ]]; }
expected=()
for p in "${programs[@]}"; do
  expected+=("bin/$p" "share/man/man1/$p.1.gz" "share/man/pl/man1/$p.1.gz")
done
# The catalogs of po/, one per language beside Polish.
if has hc12prog || has hc12prog-cli; then
  for po in po/*.po; do
    expected+=("share/locale/$(basename "$po" .po)/LC_MESSAGES/hc12prog.mo")
  done
fi
if [ ${#programs[@]} -gt 0 ] && [ -f README.md ]; then expected+=(share/doc/hc12prog/README.md); fi
sizes=(16 32 48 64 128 256)
if has hc12prog; then
  # The desktop side comes with the window program only.
  expected+=(
    "share/applications/$app_id.desktop"
    "share/metainfo/$app_id.metainfo.xml"
    share/icons/hicolor/scalable/apps/hc12prog.svg
  )
  for s in "${sizes[@]}"; do expected+=("share/icons/hicolor/${s}x${s}/apps/hc12prog.png"); done
fi
for f in "${expected[@]}"; do
  [ -f "$prefix/$f" ] || fail "not installed: $f"
done
note "installed ${#expected[@]} expected files under the prefix"

# Every icon is a PNG of the size its folder names (checked on the committed
# files, so this holds before the window program links too).
for s in "${sizes[@]}"; do
  file -b "packaging/icons/hc12prog-$s.png" | grep -q "^PNG image data, $s x $s," \
    || fail "packaging/icons/hc12prog-$s.png is not a ${s}x${s} PNG"
done
grep -q '<svg' packaging/icons/hc12prog.svg || fail "packaging/icons/hc12prog.svg is not SVG"
# The committed icons should be the window icon as resources/make_images.py draws
# it now. A stale export is reported, not failed: the picture is still a valid
# icon, and the drawing may change in a commit that did not rerun the export.
if command -v python3 >/dev/null && [ -f resources/make_images.py ]; then
  python3 packaging/make_icons.py --check >&2 || note "WARNING: desktop icons are stale"
fi

# Manual pages: valid gzip, and rendered without warnings where man is present.
for page in $(cd "$prefix" && find share/man -name '*.gz'); do
  gzip -t "$prefix/$page" || fail "$page is not gzip"
  if command -v man >/dev/null; then
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$prefix/$page" 2>&1 >/dev/null || true)
    [ -z "$warnings" ] || fail "$page: $warnings"
  fi
done

# --- 2. validators -----------------------------------------------------------------

# The installed files where the window program is installed, else the configured ones.
desktop="$build/packaging/$app_id.desktop"
metainfo="$build/packaging/$app_id.metainfo.xml"
if has hc12prog; then
  desktop="$prefix/share/applications/$app_id.desktop"
  metainfo="$prefix/share/metainfo/$app_id.metainfo.xml"
fi
desktop-file-validate "$desktop" || fail "desktop-file-validate $desktop"
grep -qx 'Categories=Development;Electronics;' "$desktop" || fail "desktop entry categories"
grep -q '^Name=' "$desktop" || fail "desktop entry has no English name"
grep -q '^Name\[pl\]=' "$desktop" || fail "desktop entry has no Polish name"
grep -q '^Comment\[pl\]=' "$desktop" || fail "desktop entry has no Polish comment"
grep -q '<summary xml:lang="pl">' "$metainfo" || fail "metainfo has no Polish summary"
grep -q '<lang>en</lang>' "$metainfo" || fail "metainfo does not name English among its languages"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate $metainfo"
if has hc12prog; then
  # The metainfo, its desktop entry and the icons together, as software centres read them.
  appstreamcli validate-tree --no-net "$prefix" || fail "appstreamcli validate-tree"
fi
note "desktop entry and metainfo validate"

# --- 3. the installed command-line program runs from the prefix ------------------

# The first message of a connect without a model, in the language of LANG.
first_message() {
  env -u HC12_LANG -u LANGUAGE -u LC_ALL -u LC_MESSAGES LANG="$1" \
    "$prefix/bin/hc12prog-cli" --port /nonexistent/tty connect 2>&1 | head -n1 || true
}
if has hc12prog-cli; then
  "$prefix/bin/hc12prog-cli" --help >"$work/help.txt" || fail "installed hc12prog-cli --help"
  grep -q 'hc12prog-cli' "$work/help.txt" || fail "installed hc12prog-cli --help prints no usage"
  [ "$(first_message pl_PL.UTF-8)" = "Ostrzeżenie: Wybierz model mikrokontrolera!" ] \
    || fail "the installed hc12prog-cli does not speak Polish: $(first_message pl_PL.UTF-8)"
  [ "$(first_message en_US.UTF-8)" = "Warning: Choose the microcontroller model!" ] \
    || fail "the installed hc12prog-cli does not speak English: $(first_message en_US.UTF-8)"
  # The installed catalog is the one read: a changed copy in its place shows.
  catalog="$prefix/share/locale/en/LC_MESSAGES/hc12prog.mo"
  msgunfmt "$catalog" | sed 's/^msgstr "Warning"$/msgstr "Warning (installed)"/' \
    | msgfmt -o "$work/changed.mo" - || fail "msgunfmt/msgfmt of $catalog"
  cp "$catalog" "$work/original.mo" && cp "$work/changed.mo" "$catalog"
  [ "$(first_message en_US.UTF-8)" = "Warning (installed): Choose the microcontroller model!" ] \
    || fail "the installed catalog is not the one read: $(first_message en_US.UTF-8)"
  cp "$work/original.mo" "$catalog"
  note "the installed hc12prog-cli speaks Polish and, from its installed catalog, English"
fi

if has hc12prog-board; then
  "$prefix/bin/hc12prog-board" --help >"$work/board-help.txt" || fail "installed hc12prog-board --help"
  grep -q 'hc12prog-board' "$work/board-help.txt" || fail "installed hc12prog-board --help prints no usage"
fi

# --- 4. the Debian package -----------------------------------------------------------

(cd "$work" && cpack -G DEB -B "$work/pkg" --config "$build/CPackConfig.cmake") >"$work/cpack.log" 2>&1 \
  || { cat "$work/cpack.log" >&2; fail "cpack -G DEB"; }
deb=$(ls "$work"/pkg/*.deb 2>/dev/null) || { cat "$work/cpack.log" >&2; fail "cpack made no .deb"; }
[ "$(echo "$deb" | wc -l)" -eq 1 ] || fail "expected one package, got: $deb"
chmod 644 "$deb"
note "package $(basename "$deb"):"
dpkg-deb -c "$deb" | awk '{print "  " $1 " " $6}'
depends=$(dpkg-deb -f "$deb" Depends)
note "Depends: $depends"
listing=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in "${expected[@]}"; do
  grep -qx "./usr/$f" <<<"$listing" || fail "package lacks /usr/$f"
done
if has hc12prog; then
  grep -q 'libwxgtk3\.2' <<<"$depends" || fail "package does not depend on the wx 3.2 GTK runtime"
  grep -q 'libwxbase3\.2' <<<"$depends" || fail "package does not depend on the wx 3.2 base runtime"
fi

# --- 5. apt install, start, purge ------------------------------------------------------

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if sudo -n true 2>/dev/null; then SUDO="sudo"; else SUDO="none"; fi
fi
if [ "${HC12_CHECK_APT:-1}" = 0 ]; then
  note "apt step skipped (HC12_CHECK_APT=0)"
elif [ "$SUDO" = none ]; then
  note "apt step skipped (neither root nor passwordless sudo)"
elif dpkg-query -W -f='${Status}' hc12prog 2>/dev/null | grep -q 'install ok installed'; then
  note "apt step skipped (hc12prog is already installed on this system)"
elif ! command -v apt-get >/dev/null; then
  note "apt step skipped (no apt-get)"
else
  # What apt would install besides the package itself gets purged with it later.
  apt-get install -s -y "$deb" >"$work/simulate.log" 2>&1 \
    || { cat "$work/simulate.log" >&2; fail "apt-get cannot install the package"; }
  mapfile -t extra_packages < <(awk '$1 == "Inst" && $2 != "hc12prog" {print $2}' "$work/simulate.log")
  note "apt-get install ./$(basename "$deb") (also pulls in: ${extra_packages[*]:-nothing})"
  installed_by_us=yes
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$deb" >"$work/apt.log" 2>&1 \
    || { cat "$work/apt.log" >&2; fail "apt-get install"; }

  if has hc12prog-cli; then
    hc12prog-cli --help >/dev/null || fail "hc12prog-cli from the package does not run"
    english=$(env -u HC12_LANG -u LANGUAGE -u LC_ALL -u LC_MESSAGES LANG=en_GB.UTF-8 \
      hc12prog-cli --port /nonexistent/tty connect 2>&1 | head -n1 || true)  # status 2: no model
    [ "$english" = "Warning: Choose the microcontroller model!" ] \
      || fail "hc12prog-cli from the package does not speak English: $english"
  fi
  if has hc12prog-board; then
    hc12prog-board --help >/dev/null || fail "hc12prog-board from the package does not run"
  fi
  if has hc12prog; then
    [ -f "/usr/share/applications/$app_id.desktop" ] || fail "desktop entry not in /usr/share/applications"
    [ "$(command -v hc12prog)" = /usr/bin/hc12prog ] || fail "hc12prog is not /usr/bin/hc12prog on PATH"
    # The command the menu runs: the entry's Exec line without its field codes.
    exec_line=$(sed -n 's/^Exec=//p' "/usr/share/applications/$app_id.desktop" | sed 's/ *%[fFuUick]//g')
    wm_class=$(sed -n 's/^StartupWMClass=//p' "/usr/share/applications/$app_id.desktop")
    command -v xvfb-run >/dev/null || fail "xvfb-run is missing"
    # Started on a private display; passes once its window (with the class the
    # desktop entry names, so the menu entry and the window belong together) is
    # mapped, and fails if the program exits first. Waits for the window, never
    # for a fixed time.
    cat >"$work/start.sh" <<EOF
#!/usr/bin/env bash
cd "\$HOME" 2>/dev/null || cd /
$exec_line >"$work/app.log" 2>&1 &
pid=\$!
# Up to a minute for the window; without xwininfo, five seconds of staying up.
tries=300
command -v xwininfo >/dev/null || tries=25
for _ in \$(seq 1 \$tries); do
  if ! kill -0 \$pid 2>/dev/null; then echo "the program exited"; cat "$work/app.log"; exit 1; fi
  if command -v xwininfo >/dev/null; then
    for id in \$(xwininfo -root -tree 2>/dev/null | awk '/\\("$wm_class" / {print \$1}'); do
      if xwininfo -id "\$id" 2>/dev/null | grep -q 'Map State: IsViewable'; then
        kill \$pid; wait \$pid; exit 0
      fi
    done
  fi
  sleep 0.2
done
if command -v xwininfo >/dev/null; then echo "no window of class $wm_class appeared"; kill \$pid; exit 1; fi
kill \$pid; wait \$pid; exit 0  # without xwininfo: still running is all we can tell
EOF
    chmod +x "$work/start.sh"
    xvfb-run -a -s "-screen 0 1280x1024x24" "$work/start.sh" || fail "the installed program did not start"
    note "the installed hc12prog started from its desktop entry's command ($exec_line)"
  fi
fi
note "OK"
