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
scratch=

fail() {
    echo "peer.sh: $*"
    [ -n "$peer_pid" ] && stop_peer
    [ -n "$scratch" ] && rm -rf "$scratch"
    echo "$*" >"$run/failed.tmp" && mv "$run/failed.tmp" "$run/failed"
    exit 1
}

stop_peer() {
    kill -TERM -- "-$peer_pid" 2>/dev/null || kill -TERM "$peer_pid" 2>/dev/null
    for _ in $(seq 1 50); do
        kill -0 "$peer_pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -KILL -- "-$peer_pid" 2>/dev/null
    kill -KILL "$peer_pid" 2>/dev/null
    wait "$peer_pid" 2>/dev/null
    peer_pid=
}

# Whether anything listens on TCP port $1 (IPv4 or IPv6, any address).
listening() {
    local hex
    hex=$(printf '%04X' "$1")
    grep -qE "^ *[0-9]+: [0-9A-F]+:$hex [0-9A-F]+:[0-9A-F]+ 0A " /proc/net/tcp /proc/net/tcp6 2>/dev/null
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
*)
    fail "unknown kind $kind"
    ;;
esac

for _ in $(seq 1 200); do
    listening "$port" && break
    kill -0 "$peer_pid" 2>/dev/null || { wait "$peer_pid"; peer_pid=; fail "$kind ended before it listened (see peer.log)"; }
    sleep 0.05
done
listening "$port" || fail "$kind did not listen on port $port within 10 s"

echo "$peer_pid" >"$run/ready.tmp" && mv "$run/ready.tmp" "$run/ready"
echo "peer.sh: $kind listens on 127.0.0.1:$port as process $peer_pid for process $owner"

deadline=$((SECONDS + ${ZEL_PEER_LIFETIME:-900}))
died=
while :; do
    [ -e "$run/stop" ] && break
    kill -0 "$owner" 2>/dev/null || break
    kill -0 "$peer_pid" 2>/dev/null || { died="$kind ended by itself (see peer.log)"; break; }
    [ "$SECONDS" -ge "$deadline" ] && { echo "peer.sh: lifetime over"; break; }
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
