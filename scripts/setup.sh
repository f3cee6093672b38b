# Sourced by run.sh and test.sh: installs what a fresh Debian 12 machine lacks, builds the tree and
# prepares Wine (a private prefix in the build folder, one persistent wineserver, a display).

ZEL_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
ZEL_BUILD=${ZEL_BUILD:-$ZEL_ROOT/build}
ZEL_JOBS=${ZEL_JOBS:-$(nproc)}
ZEL_PACKAGES=(cmake ninja-build ccache g++-mingw-w64-x86-64-posix libz-mingw-w64-dev googletest
              patch xz-utils   # libpng's Debian source package
              wine wine64 xvfb xauth
              dante-server squid tinyproxy socat openssl    # the network tests' loopback peers
              nginx-light                                   # the updater tests' web server (byte ranges)
              tshark                                        # checks the Wex codec's frames
              giflib-tools python3                          # giflib's gifbuild writes the GIF tests' corpus
              ejabberd                                      # the XMPP tests' server
              python3-slixmpp                               # and the other party of its sessions
              fonts-dejavu-core)                            # Cyrillic glyphs for Wine's stand-in faces
# The SOCKS5 test proxy checks user names and passwords against the system's accounts.
ZEL_SOCKS_TEST_USER=zelsocks
ZEL_SOCKS_TEST_PASSWORD=zelsocks-pw

source "$ZEL_ROOT/scripts/libpng.sh"

zel_install_packages() {
    local missing=()
    for package in "${ZEL_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$package")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        # wireshark-common asks whether non-root users may capture: no, and without a prompt.
        echo "wireshark-common wireshark-common/install-setuid boolean false" | debconf-set-selections
        apt-get update -qq
        # The peers are started by the tests alone: no package may start its system service (ejabberd's
        # would listen on 5222). A policy that refuses every start stands in while none is installed.
        local policy=/usr/sbin/policy-rc.d own_policy= status=0
        if [ ! -e "$policy" ]; then
            printf '#!/bin/sh\nexit 101\n' >"$policy" && chmod 755 "$policy" && own_policy=1
        fi
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null ||
            status=$?
        if [ -n "$own_policy" ]; then rm -f "$policy"; fi
        [ $status -eq 0 ] || return $status
    fi
    zel_keep_ejabberd_off
    zel_create_test_account
}

# ejabberd's system service stays off, now and at boot: the tests start servers of their own.
zel_keep_ejabberd_off() {
    [ "$(id -u)" -eq 0 ] && [ -e /etc/init.d/ejabberd ] || return 0
    if compgen -G "/etc/systemd/system/*.wants/ejabberd.service" >/dev/null ||
        compgen -G "/etc/rc[2-5].d/S*ejabberd" >/dev/null; then
        if command -v systemctl >/dev/null; then systemctl disable ejabberd >/dev/null 2>&1 || true; fi
        update-rc.d ejabberd disable >/dev/null 2>&1 || true
    fi
    if command -v systemctl >/dev/null && systemctl is-active --quiet ejabberd 2>/dev/null; then
        systemctl stop ejabberd >/dev/null 2>&1 || true
    fi
    # Started by its init script, the server runs as the node ejabberd@localhost.
    if pgrep -f -- "beam.smp.* -sname ejabberd@localhost( |\$)" >/dev/null; then
        /etc/init.d/ejabberd stop >/dev/null 2>&1 || true
    fi
    return 0
}

# A system account without a home or a login shell, for the SOCKS5 proxy's password check; made
# once, its password set again each time so that a changed one is put right.
zel_create_test_account() {
    [ "$(id -u)" -eq 0 ] || return 0
    id -u "$ZEL_SOCKS_TEST_USER" >/dev/null 2>&1 ||
        useradd --system --no-create-home --shell /usr/sbin/nologin "$ZEL_SOCKS_TEST_USER" || return 1
    echo "$ZEL_SOCKS_TEST_USER:$ZEL_SOCKS_TEST_PASSWORD" | chpasswd
}

# The compiler cache lives outside the clone (ccache's own default folder in the home), so a
# fresh clone on the same machine builds from it.
zel_build() {
    # Paths inside the clone are hashed relative to it, so any clone of the tree shares the cache.
    export CCACHE_BASEDIR="$ZEL_ROOT"
    zel_build_libpng
    # The GIF benchmark's reference decoder; the program and the tests do without it.
    mkdir -p "$ZEL_BUILD"
    bash "$ZEL_ROOT/Zel/chat/bench/build-giflib.sh" "$ZEL_BUILD" >/dev/null ||
        echo "giflib was not built: GifBenchmark will leave its figures out" >&2
    cmake -S "$ZEL_ROOT" -B "$ZEL_BUILD" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$ZEL_ROOT/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache \
        -DCMAKE_BUILD_TYPE="${ZEL_BUILD_TYPE:-RelWithDebInfo}" >/dev/null
    cmake --build "$ZEL_BUILD" -j "$ZEL_JOBS"
}

zel_start_wine() {
    export WINEPREFIX="$ZEL_BUILD/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "Creating the Wine prefix (once per build folder)..."
        wineboot -i >/dev/null 2>&1 </dev/null || true
        wineserver -w
    fi
    wineserver -p 2>/dev/null || true  # one may already run for this prefix
    # Start Wine's own services now, detached from our output: started by the first test instead,
    # they would inherit its pipes and ctest would wait for them to close.
    wineboot >/dev/null 2>&1 </dev/null || true
    zel_wine_managed_windows N
    # One ordinary process for the whole run keeps those services from stopping between two test
    # programs (and starting again on the next one's pipes); "wineserver -k" ends it.
    local keeper="$ZEL_BUILD/bin/ZelWineSessionKeeper.exe"
    if [ -f "$keeper" ]; then
        wine "$keeper" >/dev/null 2>&1 </dev/null &
        disown
    fi
}

# Whether Wine hands the windows of every program in the prefix to the window manager. Tests say no
# (the default here): Xvfb has none, and Wine then waits two seconds on each destroyed window that
# was ever active. A user's desktop says yes, for the frame and the task bar.
zel_wine_managed_windows() {
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d "$1" /f >/dev/null 2>&1 </dev/null || true
}

zel_start_display() {
    [ -n "${DISPLAY:-}" ] && return 0
    local n=90
    while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    ZEL_XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && return 0; sleep 0.1; done
    echo "Xvfb did not start on :$n" >&2
    return 1
}

zel_stop() {
    [ -n "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1 || true
    [ -n "${ZEL_XVFB_PID:-}" ] && kill "$ZEL_XVFB_PID" 2>/dev/null || true
}
