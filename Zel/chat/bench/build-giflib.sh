#!/bin/bash
# Cross-builds Debian's giflib decoder as a static library for the GIF benchmark, which compares our
# decoder with it; nothing of it enters the tree or the program.
#
#   build-giflib.sh <build folder>      makes <build folder>/giflib/{include,lib}
set -euo pipefail
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../../.." && pwd)
out=$(cd "${1:?usage: $0 <build folder>}" && pwd)/giflib
[ -f "$out/complete" ] && exit 0
source "$root/scripts/debian-source.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
version=$(zel_fetch_debian_source giflib "$work" "$work/giflib")

# The library's decoding half, built as the package's Makefile builds it, at the same optimisation.
cc=x86_64-w64-mingw32-gcc-posix
rm -rf "$out" && mkdir -p "$out/include" "$out/lib" "$work/objects"
for source in dgif_lib.c gif_err.c gifalloc.c openbsd-reallocarray.c; do
    "$cc" -O2 -std=gnu99 -Wall -c "$work/giflib/$source" -o "$work/objects/${source%.c}.o"
done
x86_64-w64-mingw32-ar rcs "$out/lib/libgif.a" "$work"/objects/*.o
cp "$work/giflib/gif_lib.h" "$out/include/"
echo "$version" >"$out/complete"
echo "giflib $version built in $out"
