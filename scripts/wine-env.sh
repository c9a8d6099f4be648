# Sourced: the environment of the project's Wine prefix (kept outside the clone).
export WINEPREFIX="${QW_WINEPREFIX:-${QW_CACHE:-$HOME/.cache/qw}/wineprefix}"
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}"
# The program is ANSI: the prefix pins code page 1252; keep the host locale neutral.
export LC_ALL=C.UTF-8

# Some machines cannot execute 32-bit code at all (the kernel refuses 32-bit
# ELF images, so Wine's 32-bit loader cannot start). There the Windows tests
# run from the x86_64 build under the 64-bit loader.
qw_wine_32bit_works() {
    /usr/lib/wine/wine --version >/dev/null 2>&1
}

if qw_wine_32bit_works; then
    QW_WINE=wine
    QW_TEST_ARCH=i686
else
    QW_WINE=/usr/lib/wine/wine64
    export WINELOADER=/usr/lib/wine/wine64
    QW_TEST_ARCH=x86_64
fi
export QW_TEST_ARCH

# One persistent server per prefix, so each test program starts in a fraction
# of a second. A second start for the same prefix exits at once (status 2).
# When the server is new, the prefix's background services (services.exe,
# plugplay, ...) start with the first program and live as long as the
# server; started by a test under ctest they would hold its output pipe open
# and ctest would wait for them until its time-out. So a first program with
# its output sent nowhere starts them here.
qw_wine_server_up() {
    if wineserver -p >/dev/null 2>&1; then
        "$QW_WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true
    fi
}
