#!/usr/bin/env bash
# Runs a Windows program of the build under the project's Wine prefix,
# headless, and passes its exit code back. Used by ctest as the emulator.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/wine-env.sh"

exe=${1:-}
if [ "$QW_TEST_ARCH" = x86_64 ] && [ -f "$exe" ]; then
    # PE machine field: 0x14c is i386.
    off=$(od -An -tu4 -j60 -N4 "$exe" | tr -d ' ')
    machine=$(od -An -tx2 -j$((off + 4)) -N2 "$exe" | tr -d ' ')
    if [ "$machine" = 014c ]; then
        echo "wine-run: this machine cannot execute 32-bit code; run the Windows tests" \
             "from the x86_64 build (-DCMAKE_TOOLCHAIN_FILE=$here/../cmake/toolchain-mingw64.cmake)" >&2
        exit 126
    fi
fi
qw_wine_server_up
exec "$QW_WINE" "$@"
