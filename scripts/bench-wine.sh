#!/usr/bin/env bash
# Whole-process timings of the program under Wine: start-up to the first
# painted document window with a 1 MB C file, and close to process end.
# Usage: bench-wine.sh [runs]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
QW_BUILD_ROOT=${QW_BUILD_ROOT:-$root/build}
export QW_BUILD_ROOT
. "$here/wine-env.sh"
if [ "$QW_TEST_ARCH" = i686 ]; then tree=win32; else tree=win64; fi
QW_BUILD_TARGETS="QW32 macros qw_comp4 qw_startbench" "$here/build.sh" "$tree"
qw_wine_server_up
"$QW_WINE" "$QW_BUILD_ROOT/$tree/bin/qw_startbench.exe" "${1:-10}"
