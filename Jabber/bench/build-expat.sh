#!/bin/bash
# Cross-builds Debian's expat as a static library for the XMPP benchmark, which compares our stream
# parser with it; nothing of it enters the tree or the plug-in.
#
#   build-expat.sh <build folder>      makes <build folder>/expat/{include,lib}
#
# The source package comes through apt (scripts/debian-source.sh), with Debian's patches applied as
# the package applies them.
set -euo pipefail
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
out=$(cd "${1:?usage: $0 <build folder>}" && pwd)/expat
[ -f "$out/complete" ] && exit 0

source "$root/scripts/debian-source.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
version=$(zel_fetch_debian_source expat "$work" "$work/source/expat")

# Debian's patches test "XML_DTD == 1", as the package's own configure defines it; upstream's CMake
# build would define it empty, so it is given here instead.
src=$work/source/expat
[ -f "$src/CMakeLists.txt" ] || src=$src/expat
cmake -S "$src" -B "$work/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_C_FLAGS=-DXML_DTD=1 -DEXPAT_DTD=OFF -DCMAKE_INSTALL_PREFIX="$out" -DEXPAT_SHARED_LIBS=OFF \
    -DEXPAT_BUILD_TOOLS=OFF -DEXPAT_BUILD_EXAMPLES=OFF -DEXPAT_BUILD_TESTS=OFF -DEXPAT_BUILD_DOCS=OFF \
    -DEXPAT_BUILD_PKGCONFIG=OFF >"$work/build.log" 2>&1 &&
    cmake --build "$work/build" -j 4 >>"$work/build.log" 2>&1 &&
    cmake --install "$work/build" >>"$work/build.log" 2>&1 || { tail -n 20 "$work/build.log" >&2; exit 1; }
ls "$out"/lib/libexpat*.a >/dev/null
echo "$version" >"$out/complete"
echo "expat $version built in $out"
