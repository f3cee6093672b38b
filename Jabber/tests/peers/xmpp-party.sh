#!/bin/bash
# Runs xmpp_transfer_party.py for a test that runs under Wine and gets no handle to a Unix process: its
# output goes to <out>.part and becomes <out> when it has ended, so the test waits for that file.
#   xmpp-party.sh <out> [xmpp_transfer_party.py arguments...]
set -u
out=$1
shift
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
exec </dev/null >/dev/null 2>&1
timeout 120 /usr/bin/python3 "$here/xmpp_transfer_party.py" "$@" >"$out.part" 2>&1
mv "$out.part" "$out"
