# Sourced by the scripts that cross-build a Debian library for a benchmark: fetches a source package
# through apt and unpacks it with Debian's patches applied. The deb-src entries are derived from this
# machine's own apt sources into a private folder, so the system's source lists, package lists and
# caches stay as they are; apt checks the files against the archive's signed index.

# zel_fetch_debian_source <source package> <work folder> <unpack folder>: prints the version fetched.
zel_fetch_debian_source() {
    local package=$1 work=$2 unpacked=$3 file version fetched=
    mkdir -p "$work/sources" "$work/lists/partial" "$work/cache/archives/partial" "$work/download" "$(dirname "$unpacked")"
    for file in /etc/apt/sources.list.d/*.sources; do
        [ -f "$file" ] && sed -e 's/^Types:.*/Types: deb-src/' "$file" >"$work/sources/$(basename "$file")"
    done
    for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -f "$file" ] && sed -n -e 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$file" >"$work/sources/$(basename "$file").list"
    done
    [ -n "$(ls -A "$work/sources")" ] || { echo "no apt sources on this machine to derive deb-src from" >&2; return 1; }

    local apt_private=(-o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$work/sources"
                       -o "Dir::State::Lists=$work/lists" -o "Dir::Cache=$work/cache" -o APT::Sandbox::User=root)
    apt-get "${apt_private[@]}" -qq update || return 1
    # The newest version that can be fetched: a mirror may lack a security update's source.
    for version in $(apt-cache "${apt_private[@]}" showsrc "$package" | sed -n 's/^Version: //p' | sort -rV | uniq); do
        if (cd "$work/download" && apt-get "${apt_private[@]}" -qq source --download-only "$package=$version") 2>/dev/null; then
            fetched=$version
            break
        fi
        rm -f "$work"/download/*
    done
    [ -n "$fetched" ] || { echo "cannot fetch Debian's $package source" >&2; return 1; }
    dpkg-source --no-check -x "$(ls "$work"/download/"$package"_*.dsc)" "$unpacked" >/dev/null || return 1
    echo "$fetched"
}
