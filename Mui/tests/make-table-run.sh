#!/bin/bash
# Runs the build's table generator for the tests, which run under Wine and start this script as a
# Linux process (Wine hands back no handle to it). So it reports through files in the run folder:
#
#   make-table-run.sh <python> <run folder>
#
# It turns <run folder>/table.txt into <run folder>/array.inc and writes, last, "status": the
# generator's exit status; "messages" holds what it printed.
set -u
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin

[ $# -eq 2 ] || { echo "usage: $0 <python> <run folder>" >&2; exit 2; }
python=$1 run=$2
rm -f "$run/status" "$run/messages"
"$python" "$(dirname "$0")/../make_table.py" "$run/table.txt" "$run/array.inc" </dev/null >"$run/messages" 2>&1
echo $? >"$run/status.tmp" && mv "$run/status.tmp" "$run/status"
