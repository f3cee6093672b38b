#!/usr/bin/env bash
# Builds everything and runs every test under Wine; exits non-zero on any failure.
set -euo pipefail
source "$(dirname "$0")/setup.sh"

zel_install_packages
zel_build
trap zel_stop EXIT
zel_start_display
zel_start_wine
# A hang report's stacks get their functions and source lines on the way out.
ctest --test-dir "$ZEL_BUILD" --output-on-failure -j "$(nproc)" --timeout 900 2>&1 |
    python3 "$(dirname "$0")/symbolize_stacks.py" "$ZEL_BUILD/bin"
