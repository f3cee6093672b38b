# Sourced by setup.sh: libpng, built from Debian's source package (with Debian's patches) by our own
# toolchain into the build folder, as a static library the program links. Nothing of it enters the
# repository. apt fetches the source through the machine's own archives, read from its apt sources
# with "deb" turned into "deb-src", in a private list folder so the system's lists stay untouched;
# apt checks the files against the archive's signed index.

ZEL_LIBPNG_PACKAGE=libpng1.6
ZEL_LIBPNG_DIR=${ZEL_LIBPNG_DIR:-$ZEL_BUILD/libpng}

# apt's options for the private deb-src lists under $1.
zel_libpng_apt_options() {
    echo "-o Dir::Etc::SourceList=$1/sources.list -o Dir::Etc::SourceParts=$1/sources.list.d" \
         "-o Dir::State::Lists=$1/lists -o Dir::Cache=$1/cache -o APT::Sandbox::User=root"
}

# The machine's apt sources, each "deb" entry also as a "deb-src" entry, into $1.
zel_libpng_source_lists() {
    local work=$1 file
    mkdir -p "$work/sources.list.d" "$work/lists/partial" "$work/cache/archives/partial"
    : > "$work/sources.list"
    if [ -f /etc/apt/sources.list ]; then
        sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' /etc/apt/sources.list >> "$work/sources.list"
    fi
    for file in /etc/apt/sources.list.d/*.sources; do
        [ -f "$file" ] || continue
        sed 's/^Types:.*/Types: deb-src/' "$file" > "$work/sources.list.d/$(basename "$file")"
    done
    for file in /etc/apt/sources.list.d/*.list; do
        [ -f "$file" ] || continue
        sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$file" >> "$work/sources.list"
    done
}

# Downloads the source package into $1 (the current folder of apt source).
zel_libpng_download() {
    local work=$1 options codename
    options=$(zel_libpng_apt_options "$work")
    zel_libpng_source_lists "$work"
    # shellcheck disable=SC2086
    apt-get $options -qq update
    # shellcheck disable=SC2086
    if (cd "$work" && apt-get $options -qq source --download-only "$ZEL_LIBPNG_PACKAGE"); then
        return 0
    fi
    # An update suite may list a version whose files are not (yet) on the mirror: take the release's.
    codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    [ -n "$codename" ] || return 1
    rm -f "$work/${ZEL_LIBPNG_PACKAGE}"_*
    # shellcheck disable=SC2086
    (cd "$work" && apt-get $options -qq source --download-only "$ZEL_LIBPNG_PACKAGE/$codename")
}

# Unpacks the upstream sources into $1/src and applies Debian's patch series.
zel_libpng_unpack() {
    local work=$1 orig debian patch
    orig=$(ls "$work/${ZEL_LIBPNG_PACKAGE}"_*.orig.tar.* 2>/dev/null | head -n 1)
    debian=$(ls "$work/${ZEL_LIBPNG_PACKAGE}"_*.debian.tar.* 2>/dev/null | head -n 1)
    [ -n "$orig" ] || { echo "libpng: no source archive was downloaded" >&2; return 1; }
    rm -rf "$work/src" && mkdir -p "$work/src"
    tar -xf "$orig" -C "$work/src" --strip-components=1
    if [ -n "$debian" ]; then
        tar -xf "$debian" -C "$work/src"
        if [ -f "$work/src/debian/patches/series" ]; then
            while read -r patch _; do
                case "$patch" in ''|'#'*) continue ;; esac
                patch -d "$work/src" -p1 -s -N -i "debian/patches/$patch"
            done < "$work/src/debian/patches/series"
        fi
    fi
}

# Builds the static library once per build folder: $ZEL_LIBPNG_DIR/install/{include,lib}.
zel_build_libpng() {
    local work=$ZEL_LIBPNG_DIR
    [ -f "$work/install/lib/libpng16.a" ] && return 0
    echo "Building libpng from Debian's source package (once per build folder)..."
    mkdir -p "$work"
    zel_libpng_download "$work" || { echo "libpng: the source package could not be downloaded" >&2; return 1; }
    zel_libpng_unpack "$work"
    cmake -S "$work/src" -B "$work/build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$ZEL_ROOT/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_BUILD_TYPE=Release \
        -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DPNG_FRAMEWORK=OFF \
        -DCMAKE_INSTALL_PREFIX="$work/install" >/dev/null
    cmake --build "$work/build" -j "$ZEL_JOBS" >/dev/null
    cmake --install "$work/build" >/dev/null
}
