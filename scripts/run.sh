#!/usr/bin/env bash
# From a fresh Debian 12 machine: installs what is missing, builds, and starts
# the editor under Wine on the user's X display (or a private Xvfb when there
# is none), with a sample text file.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
QW_BUILD_ROOT=${QW_BUILD_ROOT:-$root/build}
export QW_BUILD_ROOT

"$here/setup.sh"
. "$here/wine-env.sh"
if [ "$QW_TEST_ARCH" = i686 ]; then tree=win32; else tree=win64; fi
QW_BUILD_TARGETS="QW32 VoroSpell" "$here/build.sh" "$tree"

# The tests use the null display driver; an interactive run needs X11.
export WINEPREFIX_RUN="$QW_BUILD_ROOT/wineprefix-x11"
if [ ! -d "$WINEPREFIX_RUN" ]; then
    cp -a "$WINEPREFIX" "$WINEPREFIX_RUN"
    WINEPREFIX="$WINEPREFIX_RUN" "$QW_WINE" reg delete 'HKCU\Software\Wine\Drivers' /v Graphics /f >/dev/null 2>&1 || true
    WINEPREFIX="$WINEPREFIX_RUN" wineserver -w
fi
export WINEPREFIX="$WINEPREFIX_RUN"

if [ -z "${DISPLAY:-}" ]; then
    echo "[run] no DISPLAY: starting the editor under Xvfb"
    exec xvfb-run -a "$QW_WINE" "$QW_BUILD_ROOT/$tree/bin/QW32.exe" "$root/tests/data/sample.txt"
fi
exec "$QW_WINE" "$QW_BUILD_ROOT/$tree/bin/QW32.exe" "$root/tests/data/sample.txt"
