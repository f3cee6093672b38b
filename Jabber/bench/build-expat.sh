#!/bin/bash
# Cross-builds Debian's expat as a static library for the XMPP benchmark, which compares our stream
# parser with it; nothing of it enters the tree or the plug-in.
#
#   build-expat.sh <build folder>      makes <build folder>/expat/{include,lib}
#
# The source package comes through apt, from deb-src entries derived from this machine's own apt
# sources into a private folder: the system's source lists, package lists and caches stay as they
# are. Debian's patches are applied as the package applies them.
set -euo pipefail
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
out=$(cd "${1:?usage: $0 <build folder>}" && pwd)/expat
[ -f "$out/complete" ] && exit 0

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/sources" "$work/lists/partial" "$work/cache/archives/partial" "$work/source"

# The machine's own Debian sources, as deb-src.
if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed -e 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources >"$work/sources/debian.sources"
fi
if [ -f /etc/apt/sources.list ]; then
    sed -n -e 's/^deb \(.*\)/deb-src \1/p' /etc/apt/sources.list >"$work/sources/system.list"
fi
[ -n "$(ls -A "$work/sources")" ] || { echo "no apt sources on this machine to derive deb-src from" >&2; exit 1; }

apt_private=(-o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$work/sources"
             -o "Dir::State::Lists=$work/lists" -o "Dir::Cache=$work/cache" -o APT::Sandbox::User=root)
apt-get "${apt_private[@]}" -qq update
# The newest version that can be fetched: a mirror may lack a security update's source.
fetched=
for version in $(apt-cache "${apt_private[@]}" showsrc expat | sed -n 's/^Version: //p' | sort -rV | uniq); do
    if (cd "$work/source" && apt-get "${apt_private[@]}" -qq source --download-only "expat=$version") 2>/dev/null; then
        fetched=$version
        break
    fi
    rm -f "$work"/source/*
done
[ -n "$fetched" ] || { echo "cannot fetch Debian's expat source" >&2; exit 1; }
dsc=$(ls "$work"/source/expat_*.dsc)
dpkg-source --no-check -x "$dsc" "$work/source/expat" >/dev/null

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
version=$(basename "$dsc" .dsc)
echo "${version#expat_}" >"$out/complete"
echo "expat ${version#expat_} built in $out"
