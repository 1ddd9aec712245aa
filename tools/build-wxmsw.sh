#!/usr/bin/env bash
# Builds wxWidgets for Windows (wxMSW 3.2, static, the base and core libraries only)
# with the project's mingw-w64 toolchain, from Debian's own source package
# `wxwidgets3.2`, and installs it into a cache outside the work tree:
#
#   ${XDG_CACHE_HOME:-~/.cache}/hc12prog/wxmsw-<source version>-<hash of the options>
#
# The hash covers the build options below, the toolchain file and the compiler's
# version, so a change of any of them builds afresh beside the old one; an existing
# build is used as it is. The first build takes about 10 to 20 minutes on 2 cores.
# Prints the install folder as its last line.
#
#   tools/build-wxmsw.sh            (HC12_WXMSW_CACHE=DIR puts the cache elsewhere)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cache=${HC12_WXMSW_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/hc12prog}
toolchain=$root/cmake/mingw-w64.cmake
package=wxwidgets3.2

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

# Only what the program uses: no image formats but XPM and BMP (its pictures are
# XPM), no XML, HTML, networking or optional libraries, none of which Debian's
# source tarball carries either.
options=(
  -DCMAKE_BUILD_TYPE=Release
  -DwxBUILD_SHARED=OFF -DwxBUILD_MONOLITHIC=OFF
  -DwxBUILD_SAMPLES=OFF -DwxBUILD_TESTS=OFF -DwxBUILD_DEMOS=OFF -DwxBUILD_BENCHMARKS=OFF
  -DwxBUILD_INSTALL=ON
  -DwxUSE_REGEX=OFF -DwxUSE_ZLIB=OFF -DwxUSE_EXPAT=OFF -DwxUSE_LIBJPEG=OFF
  -DwxUSE_LIBPNG=OFF -DwxUSE_LIBTIFF=OFF -DwxUSE_NANOSVG=OFF -DwxUSE_LIBLZMA=OFF
  -DwxUSE_OPENGL=OFF -DwxUSE_XML=OFF -DwxUSE_XRC=OFF -DwxUSE_HTML=OFF
  -DwxUSE_WXHTML_HELP=OFF -DwxUSE_HELP=OFF -DwxUSE_MS_HTML_HELP=OFF
  -DwxUSE_AUI=OFF -DwxUSE_PROPGRID=OFF -DwxUSE_RIBBON=OFF -DwxUSE_STC=OFF
  -DwxUSE_RICHTEXT=OFF -DwxUSE_MEDIACTRL=OFF -DwxUSE_WEBVIEW=OFF -DwxUSE_WEBREQUEST=OFF
  -DwxUSE_SOCKETS=OFF -DwxUSE_IPC=OFF -DwxUSE_URL=OFF -DwxUSE_PROTOCOL=OFF
  -DwxUSE_FS_INET=OFF -DwxUSE_DEBUGREPORT=OFF -DwxUSE_ARTPROVIDER_TANGO=OFF
  -DwxUSE_SVG=OFF -DwxUSE_ZIPSTREAM=OFF
)

# The source package's lists: where the machine's apt configuration has only binary
# entries, the same entries get their source side too.
enable_sources() {
  if apt-cache showsrc "$package" 2>/dev/null | grep -q '^Package:'; then
    return 0
  fi
  echo "build-wxmsw: enabling the source entries of the apt configuration" >&2
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    $SUDO sed -i -E '/^Types:/{/deb-src/!s/[[:space:]]*$/ deb-src/}' "$f"
  done
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    # Each binary line once more as a source line, unless it is there already.
    grep -E '^deb[[:space:]]' "$f" | sed -E 's/^deb([[:space:]])/deb-src\1/' | while read -r line; do
      grep -qxF "$line" "$f" || echo "$line" | $SUDO tee -a "$f" >/dev/null
    done
  done
  $SUDO apt-get update >/dev/null
  apt-cache showsrc "$package" 2>/dev/null | grep -q '^Package:' || {
    echo "build-wxmsw: apt knows no source package $package" >&2
    exit 1
  }
}

enable_sources
version=$(apt-cache showsrc "$package" | sed -n 's/^Version: //p' | sort -V | tail -n1)
compiler=$(x86_64-w64-mingw32-g++-posix --version | head -n1)
key=$( { printf '%s\n' "${options[@]}"; cat "$toolchain"; echo "$compiler"; } |
  sha256sum | cut -c1-12)
prefix=$cache/wxmsw-$version-$key

if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi
# One build at a time on the machine; a second run waits and then finds it done.
mkdir -p "$cache"
exec 9>"$cache/.lock-$key"
flock 9
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

start=$(date +%s)
echo "build-wxmsw: building wxMSW $version into $prefix (once per machine; 10 to 20 minutes)" >&2
work=$cache/work-$version-$key
rm -rf "$work" "$prefix"
mkdir -p "$work"
(
  cd "$work"
  apt-get source --download-only "$package=$version" >apt-source.log 2>&1 ||
    { cat apt-source.log >&2; exit 1; }
  dpkg-source -x ./*.dsc src >dpkg-source.log 2>&1 ||
    { cat dpkg-source.log >&2; exit 1; }
  cmake -S src -B build -DCMAKE_TOOLCHAIN_FILE="$toolchain" "${options[@]}" \
    -DCMAKE_INSTALL_PREFIX="$prefix" >configure.log 2>&1 ||
    { tail -n 40 configure.log >&2; exit 1; }
  cmake --build build -j2 >build.log 2>&1 || { tail -n 60 build.log >&2; exit 1; }
  cmake --install build >install.log 2>&1 || { tail -n 40 install.log >&2; exit 1; }
)
printf '%s\n' "$version" "${options[@]}" "$compiler" >"$prefix/build-options.txt"
touch "$prefix/.complete"
rm -rf "$work"
echo "build-wxmsw: wxMSW built in $(( ($(date +%s) - start) / 60 )) min" >&2
echo "$prefix"
