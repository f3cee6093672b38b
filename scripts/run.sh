#!/usr/bin/env bash
# Builds everything and starts Zel under Wine, in a window (on Xvfb when no display is set).
set -euo pipefail
source "$(dirname "$0")/setup.sh"

zel_install_packages
zel_build
if [ ! -f "$ZEL_BUILD/bin/Zel.exe" ]; then
    echo "Built the libraries and tests in $ZEL_BUILD; the Zel program itself is not built yet."
    exit 0
fi
trap zel_stop EXIT
zel_start_display
zel_start_wine
zel_wine_managed_windows Y
wine "$ZEL_BUILD/bin/Zel.exe" "$@"
