#!/usr/bin/env bash
# From a fresh Debian 12 machine: installs what is missing, builds, and runs
# every test of the Windows build (under Wine) and of the host build.
# The Windows tests run from the i686 build where this machine can execute
# 32-bit code, else from the x86_64 build of the same sources.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
QW_BUILD_ROOT=${QW_BUILD_ROOT:-$root/build}
export QW_BUILD_ROOT

"$here/setup.sh"
. "$here/wine-env.sh"
if [ "$QW_TEST_ARCH" = i686 ]; then wintests=win32; else wintests=win64; fi
"$here/build.sh" win32 win64 host

jobs=$(nproc)
status=0
echo "[test] include layers"
python3 "$here/check-includes.py" "$root" || status=1
echo "[test] Windows build ($wintests, $QW_TEST_ARCH) under Wine"
qw_wine_server_up
ctest --test-dir "$QW_BUILD_ROOT/$wintests" --output-on-failure -j "$jobs" || status=1
echo "[test] host build (sanitizers)"
ctest --test-dir "$QW_BUILD_ROOT/host" --output-on-failure -j "$jobs" || status=1
exit $status
