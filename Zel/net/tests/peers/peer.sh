#!/bin/bash
# Runs one loopback test peer (a proxy or a TLS echo server) for the network tests, which run under
# Wine and start this script as a Linux process (Wine runs a Unix program it is asked to start, but
# gives back no handle to it). So the script itself reports through files in its run folder and
# watches its owner:
#
#   peer.sh start <kind> <run folder> <port> <lease file> [kind arguments...]
#
# The run folder (named peer-*) gets peer.log, then either "ready" (holding the peer's process id,
# once the port accepts) or "failed" (holding the reason). The peer is stopped by its process id
# (with its process group: helpers and forked children) when the owner creates "stop" in the run
# folder, when the owner process ends (the one that has the lease file mapped; a crashed test
# leaves nothing behind), or after ZEL_PEER_LIFETIME seconds (default 900). After a stop the run
# folder is removed (the owner waits for that), unless the peer had ended by itself: then "died"
# tells why and the log stays. Everything listens on 127.0.0.1 only.
#
# Kinds:
#   squid <user> <password>          HTTP CONNECT with Basic authorisation (407 on a wrong password)
#   tinyproxy <user> <password>      HTTP CONNECT with Basic authorisation (401 on a wrong password)
#   dante-socks5                     SOCKS5 with user name and password only (RFC 1929), checked
#                                    against the system account that scripts/setup.sh creates
#   dante-socks4                     SOCKS4, and SOCKS5 without authentication
#   tls-echo <cert folder> <name>    TLS echo server with <name>.crt and <name>.key
#   nginx <folder>                   web server of the files in <folder> (HTTP/1.0 byte ranges
#                                    included); access.log in the run folder shows each request
#                                    with its Range line and status
#   ejabberd [options...]            XMPP server for the domain "localhost", one client listener on
#                                    the port, passwords stored plain (for DIGEST-MD5 and the legacy
#                                    digest), legacy jabber:iq:auth, a node, config, spool and logs of
#                                    its own in the run folder. Options, in any order:
#       zlib                         stream compression (XEP-0138) on the listener
#       tls=<cert folder>/<name>     direct TLS with <name>.crt and <name>.key (TLS 1.0 and up)
#       no-digest-md5                SASL DIGEST-MD5 not offered
#       no-plain                     SASL PLAIN not offered
#       admin-extra                  mod_admin_extra: roster, vCard and message commands for ctl=
#       user=<name>:<password>       an account, made with ejabberdctl once the server listens
#       ctl=<arguments>              any ejabberdctl command (arguments split at blanks), run after
#                                    the accounts; the accounts are made side by side, and so are
#                                    the commands
#                                    While it runs, a file ctl-<n>.request in the run folder holding
#                                    ejabberdctl arguments (split at blanks) is run once; ctl-<n>.out
#                                    gets its output, then ctl-<n>.done its exit status.
#   xmpp-party <server port> <jid> <password> [party options...]
#                                    Jabber/tests/peers/xmpp_party.py, the XMPP tests' other party
#                                    (Debian's python3-slixmpp), signed in to the server on 127.0.0.1
#                                    at <server port>; it listens on the port once its session has
#                                    started and writes its events to events.log in the run folder
set -u
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
umask 022

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

[ "${1:-}" = start ] && [ $# -ge 5 ] || { echo "usage: $0 start <kind> <run folder> <port> <lease file> [args...]" >&2; exit 2; }
kind=$2 run=$3 port=$4 lease=$5
shift 5

case "$(basename "$run")" in
    peer-*) ;;
    *) echo "run folder must be named peer-*: $run" >&2; exit 2 ;;
esac
mkdir -p "$run" || exit 1

# Nothing of the caller's output may stay open here: a test runner waits for its pipes to close.
exec </dev/null >"$run/peer.log" 2>&1
for fd in /proc/$$/fd/*; do
    n=${fd##*/}
    [ "$n" -gt 2 ] 2>/dev/null && eval "exec $n>&-" 2>/dev/null
done

peer_pid=
ejabberd_ctl=()  # the command that reaches the running ejabberd
helper_pids=    # processes stopped with the peer (each with its process group)
scratch=

fail() {
    echo "peer.sh: $*"
    [ -n "$peer_pid$helper_pids" ] && stop_peer
    [ -n "$scratch" ] && rm -rf "$scratch"
    echo "$*" >"$run/failed.tmp" && mv "$run/failed.tmp" "$run/failed"
    exit 1
}

stop_peer() {
    if [ -n "$peer_pid" ]; then
        kill -TERM -- "-$peer_pid" 2>/dev/null || kill -TERM "$peer_pid" 2>/dev/null
        for _ in $(seq 1 50); do
            kill -0 "$peer_pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -KILL -- "-$peer_pid" 2>/dev/null
        kill -KILL "$peer_pid" 2>/dev/null
        wait "$peer_pid" 2>/dev/null
    fi
    peer_pid=
    for helper in $helper_pids; do
        kill -TERM -- "-$helper" 2>/dev/null || kill -TERM "$helper" 2>/dev/null
        wait "$helper" 2>/dev/null
    done
    helper_pids=
}

# Whether anything listens on TCP port $1 (IPv4 or IPv6, any address).
listening() {
    local hex
    hex=$(printf '%04X' "$1")
    grep -qE "^ *[0-9]+: [0-9A-F]+:$hex [0-9A-F]+:[0-9A-F]+ 0A " /proc/net/tcp /proc/net/tcp6 2>/dev/null
}

# Whether process $1, or a process of the session it leads (a peer started with setsid), listens on
# TCP port $2. Another program may have taken the port between our check and the peer's bind (an
# Erlang node of another test's ejabberdctl takes a free port too): the peer then never listens.
listening_in() {
    local hex inode fd pid
    hex=$(printf '%04X' "$2")
    for inode in $(awk -v port=":$hex" '$2 ~ port"$" && $4 == "0A" { print $10 }' /proc/net/tcp /proc/net/tcp6 2>/dev/null); do
        for fd in $(find /proc/[0-9]*/fd -lname "socket:\[$inode\]" 2>/dev/null); do
            pid=${fd#/proc/}
            pid=${pid%%/*}
            [ "$pid" = "$1" ] || [ "$(ps -o sid= -p "$pid" 2>/dev/null | tr -d ' ')" = "$1" ] && return 0
        done
    done
    return 1
}

# The process that maps the lease file: the test that started us.
owner=
for _ in $(seq 1 20); do
    owner=$(grep -lF "$lease" /proc/[0-9]*/maps 2>/dev/null | head -n 1 | cut -d/ -f3)
    [ -n "$owner" ] && break
    sleep 0.1
done
[ -n "$owner" ] || fail "no process maps the lease file $lease"

case "$port" in ''|*[!0-9]*) fail "bad port $port" ;; esac
listening "$port" && fail "port $port is busy"

# A copy of a config from this folder with @NAME@ placeholders filled in.
fill() {
    sed -e "s|@RUN@|$run|g" -e "s|@PORT@|$port|g" -e "s|@SCRATCH@|${scratch:-}|g" "$here/$1" >"$2" ||
        fail "cannot write $2"
}

# A port of 127.0.0.1 that nothing listens on now.
free_port() {
    local candidate
    for _ in $(seq 1 100); do
        candidate=$((30000 + RANDOM % 30000))
        [ "$candidate" != "$port" ] && ! listening "$candidate" && { echo "$candidate"; return 0; }
    done
    return 1
}

# ejabberd as its own user (ejabberdctl changes to it), so everything it writes belongs to it. The
# Erlang distribution listens on a second free port of 127.0.0.1 and epmd is not used, so nothing
# but the server itself is left to stop. ejabberdctl leaves the server in a session of its own:
# peer_pid is the server (beam.smp), the launcher a helper.
start_ejabberd() {
    command -v ejabberdctl >/dev/null || fail "ejabberd is not installed"
    local dir=$run/ejabberd zlib=false tls= disabled='  - "X-OAUTH2"' extra= users=() commands=() option
    for option in "$@"; do
        case "$option" in
            zlib) zlib=true ;;
            tls=*) tls=${option#tls=} ;;
            no-digest-md5) disabled="$disabled"$'\n  - "DIGEST-MD5"' ;;
            no-plain) disabled="$disabled"$'\n  - "PLAIN"' ;;
            admin-extra) extra=$'\n  mod_admin_extra: {}' ;;
            user=*:*) users+=("${option#user=}") ;;
            ctl=?*) commands+=("${option#ctl=}") ;;
            *) fail "unknown ejabberd option $option" ;;
        esac
    done
    local dist node=zel-$port@localhost
    dist=$(free_port) || fail "no free port for the Erlang distribution"
    mkdir -p "$dir/spool" "$dir/logs" || fail "cannot make $dir"
    cp /etc/ejabberd/inetrc "$dir/" 2>/dev/null || : >"$dir/inetrc"

    local certfiles= listener_tls=
    if [ -n "$tls" ]; then
        [ -r "$tls.crt" ] && [ -r "$tls.key" ] || fail "no certificate $tls.crt with its key"
        cat "$tls.crt" "$tls.key" >"$dir/server.pem" || fail "cannot write $dir/server.pem"
        certfiles=$'certfiles:\n  - "'"$dir/server.pem"'"'
        # Debian's OpenSSL settings refuse TLS below 1.2; a handheld's TLS may be older.
        listener_tls=$'\n    tls: true\n    ciphers: "DEFAULT:@SECLEVEL=0"\n    protocol_options: []'
    fi
    cat >"$dir/ejabberd.yml" <<EOF_YML || fail "cannot write ejabberd.yml"
loglevel: info
log_rotate_count: 0
hosts:
  - localhost
$certfiles
auth_method: internal
auth_password_format: plain
registration_timeout: infinity
disable_sasl_mechanisms:
$disabled
listen:
  -
    port: $port
    ip: "127.0.0.1"
    module: ejabberd_c2s
    access: c2s
    starttls: false
    zlib: $zlib$listener_tls
acl:
  local:
    user_regexp: ""
access_rules:
  local:
    allow: local
  c2s:
    allow: all
api_permissions:
  "console commands":
    from:
      - ejabberd_ctl
    who: all
    what: "*"
shaper_rules:
  max_user_sessions: 10
modules:
  mod_caps: {}
  mod_disco: {}
  mod_legacy_auth: {}
  mod_offline: {}
  mod_ping: {}
  mod_privacy: {}
  mod_private: {}
  mod_roster:
    versioning: false
  mod_vcard:
    search: false
  mod_version:
    show_os: false$extra
EOF_YML
    cat >"$dir/ejabberdctl.cfg" <<EOF_CFG || fail "cannot write ejabberdctl.cfg"
ERL_OPTIONS="-env ERL_CRASH_DUMP_BYTES 0"
ERLANG_NODE=$node
INET_DIST_INTERFACE=127.0.0.1
ERL_DIST_PORT=$dist
EJABBERD_PID_PATH=$dir/ejabberd.pid
EOF_CFG
    chown -R ejabberd:ejabberd "$dir" || fail "cannot give $dir to the ejabberd account"
    chmod 700 "$dir"

    ejabberd_ctl=(ejabberdctl --config-dir "$dir" --spool "$dir/spool" --logs "$dir/logs")
    local ctl=("${ejabberd_ctl[@]}")
    setsid "${ctl[@]}" foreground >"$dir/foreground.log" 2>&1 &
    helper_pids=$!
    # The server is looked for while it starts, so that a failure stops it too.
    for _ in $(seq 1 600); do
        [ -n "$peer_pid" ] || peer_pid=$(pgrep -f -- "beam.smp.* -sname $node( |\$)" | head -n 1)
        [ -n "$peer_pid" ] && listening_in "$peer_pid" "$port" && break
        kill -0 "$helper_pids" 2>/dev/null || fail "ejabberd ended before it listened: $(tail -n 20 "$dir/foreground.log")"
        sleep 0.05
    done
    [ -n "$peer_pid" ] && listening_in "$peer_pid" "$port" || fail "ejabberd did not listen on port $port within 30 s"

    # Each ejabberdctl call starts an Erlang node of its own (a second or two): the accounts are made
    # side by side, then the commands.
    local user command pids=() failed=
    for user in "${users[@]}"; do
        "${ctl[@]}" register "${user%%:*}" localhost "${user#*:}" &
        pids+=($!)
    done
    for pid in "${pids[@]}"; do wait "$pid" || failed=1; done
    [ -z "$failed" ] || fail "cannot make the accounts (see peer.log)"
    pids=()
    for command in "${commands[@]}"; do
        # shellcheck disable=SC2086 # the arguments are split at blanks on purpose
        "${ctl[@]}" $command &
        pids+=($!)
    done
    for pid in "${pids[@]}"; do wait "$pid" || failed=1; done
    [ -z "$failed" ] || fail "an ejabberdctl command failed (see peer.log)"
}

# The ejabberdctl commands the owner asked for while the server runs (ctl-<n>.request files).
run_ctl_requests() {
    local request base
    for request in "$run"/ctl-*.request; do
        [ -e "$request" ] || continue
        base=${request%.request}
        # shellcheck disable=SC2046 # the arguments are split at blanks on purpose
        "${ejabberd_ctl[@]}" $(cat "$request") >"$base.out" 2>&1
        echo $? >"$base.tmp" && mv "$base.tmp" "$base.done"
        rm -f "$request"
    done
}

case "$kind" in
squid)
    [ $# -eq 2 ] || fail "squid needs a user and a password"
    command -v squid >/dev/null || fail "squid is not installed"
    # squid drops to the proxy account, which must reach its files: keep them in a private folder
    # of their own rather than under the build folder, whose parents it may not be allowed to enter.
    scratch=$(mktemp -d /tmp/zel-squid.XXXXXX) || fail "no scratch folder"
    chmod 755 "$scratch"
    mkdir -p "$scratch/log" "$scratch/cache"
    printf '%s:%s\n' "$1" "$(openssl passwd -apr1 "$2")" >"$scratch/passwd" || fail "cannot write the password file"
    fill squid.conf "$scratch/squid.conf"
    chown -R proxy:proxy "$scratch" || fail "cannot give the squid files to the proxy account"
    setsid squid -N -f "$scratch/squid.conf" &
    peer_pid=$!
    ;;
tinyproxy)
    [ $# -eq 2 ] || fail "tinyproxy needs a user and a password"
    command -v tinyproxy >/dev/null || fail "tinyproxy is not installed"
    scratch=$(mktemp -d /tmp/zel-tinyproxy.XXXXXX) || fail "no scratch folder"
    chmod 755 "$scratch"
    fill tinyproxy.conf "$scratch/tinyproxy.conf"
    printf 'BasicAuth %s %s\n' "$1" "$2" >>"$scratch/tinyproxy.conf"
    chown -R nobody:nogroup "$scratch" || fail "cannot give the tinyproxy files to nobody"
    setsid tinyproxy -d -c "$scratch/tinyproxy.conf" &
    peer_pid=$!
    ;;
dante-socks5|dante-socks4)
    command -v danted >/dev/null || fail "danted is not installed"
    fill "danted-${kind#dante-}.conf" "$run/danted.conf"
    setsid danted -f "$run/danted.conf" -p "$run/danted.pid" -N 1 &
    peer_pid=$!
    ;;
tls-echo)
    [ $# -eq 2 ] || fail "tls-echo needs a certificate folder and a name"
    command -v socat >/dev/null || fail "socat is not installed"
    [ -r "$1/$2.crt" ] && [ -r "$1/$2.key" ] || fail "no certificate $1/$2.crt with its key"
    setsid socat "OPENSSL-LISTEN:$port,bind=127.0.0.1,reuseaddr,fork,cert=$1/$2.crt,key=$1/$2.key,verify=0" PIPE &
    peer_pid=$!
    ;;
ejabberd)
    start_ejabberd "$@"
    ;;
nginx)
    [ $# -eq 1 ] || fail "nginx needs the folder it serves"
    command -v nginx >/dev/null || fail "nginx is not installed"
    [ -d "$1" ] || fail "no folder $1"
    mkdir -p "$run/tmp" || fail "cannot make $run/tmp"
    fill nginx.conf "$run/nginx.conf"
    sed -i -e "s|@WWW@|$1|g" "$run/nginx.conf" || fail "cannot write $run/nginx.conf"
    setsid nginx -c "$run/nginx.conf" -p "$run" &
    peer_pid=$!
    ;;
xmpp-party)
    [ $# -ge 3 ] || fail "xmpp-party needs a server port, a JID and a password"
    [ -x /usr/bin/python3 ] && /usr/bin/python3 -c 'import slixmpp' 2>/dev/null || fail "python3-slixmpp is not installed"
    party_port=$1 party_jid=$2 party_password=$3
    shift 3
    setsid /usr/bin/python3 "$here/../../../../Jabber/tests/peers/xmpp_party.py" --port "$party_port" \
        --jid "$party_jid" --password "$party_password" --ready-port "$port" --events "$run/events.log" "$@" &
    peer_pid=$!
    ;;
*)
    fail "unknown kind $kind"
    ;;
esac

for _ in $(seq 1 200); do
    listening_in "$peer_pid" "$port" && break
    kill -0 "$peer_pid" 2>/dev/null || { wait "$peer_pid"; peer_pid=; fail "$kind ended before it listened (see peer.log)"; }
    sleep 0.05
done
listening_in "$peer_pid" "$port" || fail "$kind did not listen on port $port within 10 s"

echo "$peer_pid" >"$run/ready.tmp" && mv "$run/ready.tmp" "$run/ready"
echo "peer.sh: $kind listens on 127.0.0.1:$port as process $peer_pid for process $owner"

deadline=$((SECONDS + ${ZEL_PEER_LIFETIME:-900}))
died=
while :; do
    [ -e "$run/stop" ] && break
    kill -0 "$owner" 2>/dev/null || break
    kill -0 "$peer_pid" 2>/dev/null || { died="$kind ended by itself (see peer.log)"; break; }
    [ "$SECONDS" -ge "$deadline" ] && { echo "peer.sh: lifetime over"; break; }
    [ ${#ejabberd_ctl[@]} -gt 0 ] && run_ctl_requests
    sleep 0.2
done
stop_peer
[ -n "$scratch" ] && rm -rf "$scratch"
# A peer that ended on its own leaves its log behind for the test to show.
if [ -n "$died" ]; then
    echo "peer.sh: $died"
    echo "$died" >"$run/died"
else
    rm -rf "$run"
fi
