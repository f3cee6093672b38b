#!/usr/bin/env bash
# Builds everything and runs every test under Wine; exits non-zero on any failure.
set -euo pipefail
source "$(dirname "$0")/setup.sh"

zel_install_packages
zel_build
trap zel_stop EXIT
zel_start_display
zel_start_wine
ctest --test-dir "$ZEL_BUILD" --output-on-failure -j "$(nproc)" --timeout 900
