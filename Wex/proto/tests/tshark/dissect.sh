#!/bin/bash
# Dissects a capture file of FLAP/SNAC/TLV frames with Debian's tshark, for the codec's tests, which
# run under Wine and start this script as a Linux process (Wine hands back no handle to it). So it
# reports through files in the result folder:
#
#   dissect.sh <capture file> <result folder> <server port>
#
#   frames    one line per frame tshark found: packet number, source port, channel, sequence, data
#             length, SNAC family and subtype (hexadecimal, empty off channel 2), tab-separated
#   problems  one line per packet tshark calls malformed or warns about: packet number, the messages
#   done      written last, when both are complete; or "failed", holding the reason
#
# tshark's dissector for this protocol is not bound to a port by default: it is named for the
# server port given.
set -u
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin

[ $# -eq 3 ] || { echo "usage: $0 <capture file> <result folder> <server port>" >&2; exit 2; }
capture=$1 out=$2 port=$3
mkdir -p "$out" || exit 1
rm -f "$out/done" "$out/failed" "$out/frames" "$out/problems"
exec </dev/null >"$out/log" 2>&1

fail() {
    echo "$*" >"$out/failed.tmp" && mv "$out/failed.tmp" "$out/failed"
    exit 1
}

command -v tshark >/dev/null || fail "tshark is not installed (scripts/setup.sh installs it)"
[ -r "$capture" ] || fail "no capture file $capture"
case "$port" in ''|*[!0-9]*) fail "bad port $port" ;; esac

dissect() {
    timeout 120 tshark -n -r "$capture" -d "tcp.port==$port,aim" "$@"
}

dissect -Y aim -T fields -E separator=/t -E occurrence=a -E aggregator=';' \
    -e frame.number -e tcp.srcport -e aim.channel -e aim.seqno -e aim.datalen -e aim.fnac.family -e aim.fnac.subtype \
    >"$out/frames.tmp" || fail "tshark could not read $capture (see log)"
dissect -Y '_ws.malformed || _ws.expert.severity >= "warning"' -T fields -E separator=/t -E occurrence=a -E aggregator=';' \
    -e frame.number -e _ws.expert.message \
    >"$out/problems.tmp" || fail "tshark could not check $capture (see log)"
mv "$out/frames.tmp" "$out/frames"
mv "$out/problems.tmp" "$out/problems"
echo done >"$out/done"
