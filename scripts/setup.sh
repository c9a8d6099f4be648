#!/usr/bin/env bash
# Prepares a fresh Debian 12 machine for building and testing the editor:
# installs what is missing, builds the third-party libraries for the mingw
# target from Debian's source packages into a cache outside the clone, and
# creates the project's headless Wine prefix. Idempotent: a second run finds
# everything in place and returns at once.
#
# Caches (outside the clone; override with QW_CACHE):
#   $QW_CACHE/deps-ARCH   Crypto++, pugixml, libsigc++ 2.x, CRoaring (static, mingw;
#                         ARCH i686 for the shipped build, x86_64 for the test build)
#   $QW_CACHE/wineprefix  the Wine prefix (null display driver)
# Each cache is built in a temporary folder and moved into place only when
# complete, so an interrupted run never leaves a cache that later runs trust.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
QW_CACHE=${QW_CACHE:-$HOME/.cache/qw}
DEPS_STAMP=deps-v3          # bump when the recipe below changes
JOBS=$(nproc)

say()  { printf '[setup] %s\n' "$*"; }
fail() { printf '[setup] FAILED: %s\n' "$*" >&2; exit 1; }

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# ---------------------------------------------------------------- packages --
PACKAGES=(
  cmake ninja-build ccache m4 pkg-config dpkg-dev xz-utils python3 procps
  g++ googletest libgtest-dev libbenchmark-dev libpugixml-dev libpcre2-dev
  clang libclang-rt-14-dev
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
  wine wine32:i386 wine64 fonts-wine xvfb xauth
)

missing_packages() {
    local p
    for p in "${PACKAGES[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
            printf '%s\n' "$p"
        fi
    done
}

install_packages() {
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        say "enabling the i386 architecture"
        as_root dpkg --add-architecture i386
        need_update=1
    fi
    mapfile -t miss < <(missing_packages)
    if [ "${#miss[@]}" -eq 0 ] && [ -z "${need_update:-}" ]; then
        say "packages: all present"
        return
    fi
    say "installing: ${miss[*]}"
    as_root apt-get update -q >/dev/null || fail "apt-get update"
    local p
    for p in "${miss[@]}"; do
        if ! apt-cache show "$p" >/dev/null 2>&1; then
            fail "package $p cannot be had from the configured sources"
        fi
    done
    DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -q --no-install-recommends "${miss[@]}" >/dev/null \
        || fail "apt-get install ${miss[*]}"
}

ensure_deb_src() {
    if grep -rqsE '^(Types:.*deb-src|deb-src )' /etc/apt/sources.list /etc/apt/sources.list.d/ 2>/dev/null; then
        return
    fi
    say "adding a deb-src entry"
    as_root tee /etc/apt/sources.list.d/qw-deb-src.sources >/dev/null <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
    as_root apt-get update -q >/dev/null || fail "apt-get update (deb-src)"
}

# ----------------------------------------------------------- dependencies --
fetch_source() {   # fetch_source NAME DIR -> unpacks the upstream tarball into DIR
    local name=$1 dir=$2
    mkdir -p "$dir/dl"
    (cd "$dir/dl" && apt-get source --download-only --tar-only "$name" >/dev/null 2>&1) \
        || fail "source package $name cannot be had (apt-get source --download-only --tar-only $name)"
    local tarball
    tarball=$(ls "$dir"/dl/*.orig.tar.* 2>/dev/null | head -n 1)
    [ -n "$tarball" ] || fail "source package $name: no upstream tarball"
    mkdir -p "$dir/src"
    tar -xf "$tarball" -C "$dir/src"
    ls -d "$dir"/src/*/ | head -n 1
}

build_cryptopp() {   # the library without its test and benchmark programs
    local work=$1 prefix=$2 src
    src=$(fetch_source libcrypto++ "$work/cryptopp")
    mkdir -p "$work/cryptopp/obj" "$prefix/include/cryptopp"
    (cd "$src" && ls *.cpp) \
        | grep -v -E '^(test|bench[0-9]*|validat[0-9]*|datatest|regtest[0-9]*|fipsalgt|dlltest|adhoc)\.cpp$' \
        | sed 's/\.cpp$//' \
        | xargs -P "$JOBS" -I{} $MINGW-g++-posix -O2 -DNDEBUG -DCRYPTOPP_DISABLE_ASM \
            -std=c++17 -w -c "$src/{}.cpp" -o "$work/cryptopp/obj/{}.o" \
        || fail "building Crypto++"
    $MINGW-ar rcs "$prefix/lib/libcryptopp.a" "$work"/cryptopp/obj/*.o
    cp "$src"/*.h "$prefix/include/cryptopp/"
}

build_pugixml() {
    local work=$1 prefix=$2 src
    src=$(fetch_source pugixml "$work/pugixml")
    mkdir -p "$prefix/include"
    $MINGW-g++-posix -O2 -std=c++17 -c "$src/src/pugixml.cpp" -o "$work/pugixml/pugixml.o" \
        || fail "building pugixml"
    $MINGW-ar rcs "$prefix/lib/libpugixml.a" "$work/pugixml/pugixml.o"
    cp "$src/src/pugixml.hpp" "$src/src/pugiconfig.hpp" "$prefix/include/"
}

build_sigc() {   # libsigc++ 2.x: headers generated from their m4 macros
    local work=$1 prefix=$2 src
    src=$(fetch_source libsigc++-2.0 "$work/sigc")
    local m4file out
    while IFS= read -r m4file; do
        out="$(dirname "$(dirname "$m4file")")/$(basename "${m4file%.m4}")"
        m4 -I "$src/sigc++/macros" "$m4file" > "$out" || fail "libsigc++: m4 $m4file"
    done < <(find "$src/sigc++" -path '*/macros/*.m4' ! -name template.macros.m4)
    local ver major minor micro
    ver=$(basename "$src"); ver=${ver#libsigc++-}
    IFS=. read -r major minor micro <<<"$ver"
    mkdir -p "$prefix/lib/sigc++-2.0/include" "$prefix/include/sigc++-2.0"
    sed -e "s/#mesondefine SIGCXX_MAJOR_VERSION/#define SIGCXX_MAJOR_VERSION $major/" \
        -e "s/#mesondefine SIGCXX_MINOR_VERSION/#define SIGCXX_MINOR_VERSION $minor/" \
        -e "s/#mesondefine SIGCXX_MICRO_VERSION/#define SIGCXX_MICRO_VERSION $micro/" \
        -e 's/#mesondefine SIGC_GCC_TEMPLATE_SPECIALIZATION_OPERATOR_OVERLOAD/#define SIGC_GCC_TEMPLATE_SPECIALIZATION_OPERATOR_OVERLOAD 1/' \
        -e 's/#mesondefine SIGC_PRAGMA_PUSH_POP_MACRO/#define SIGC_PRAGMA_PUSH_POP_MACRO 1/' \
        -e 's|#mesondefine \([A-Z_0-9]*\)|/* #undef \1 */|' \
        "$src/sigc++config.h.meson" > "$prefix/lib/sigc++-2.0/include/sigc++config.h"
    (cd "$src" && find sigc++ -name '*.h' -exec cp --parents {} "$prefix/include/sigc++-2.0/" \;) \
        || fail "libsigc++: installing headers"
    local cc
    mkdir -p "$work/sigc/obj"
    for cc in $(cd "$src" && find sigc++ -name '*.cc'); do
        $MINGW-g++-posix -O2 -std=c++17 -DSIGC_BUILD -I"$src" -I"$prefix/lib/sigc++-2.0/include" \
            -c "$src/$cc" -o "$work/sigc/obj/$(basename "$cc" .cc).o" || fail "building libsigc++ ($cc)"
    done
    $MINGW-ar rcs "$prefix/lib/libsigc-2.0.a" "$work"/sigc/obj/*.o
}

build_croaring() {   # compressed bitmaps; no x64 paths on i686
    local work=$1 prefix=$2 src
    src=$(fetch_source croaring "$work/croaring")
    mkdir -p "$work/croaring/obj"
    local c
    for c in $(cd "$src" && find src -name '*.c'); do
        $MINGW-gcc-posix -O2 -std=c11 -DDISABLE_X64 -I"$src/include" -w \
            -c "$src/$c" -o "$work/croaring/obj/$(echo "$c" | tr / _ ).o" || fail "building CRoaring ($c)"
    done
    # The header's plain-inline functions also get an external definition in
    # the library; C++ callers emit their own copies, which a PE link refuses
    # as duplicates. The library keeps its copies to itself.
    local fn localize=()
    for fn in $(sed -n 's/^inline [a-z_0-9]* *\**\([a-z_0-9]*\)(.*/\1/p' "$src/include/roaring/roaring.h"); do
        localize+=(-w "--localize-symbol=*$fn")
    done
    for c in "$work"/croaring/obj/*.o; do
        $MINGW-objcopy "${localize[@]}" "$c"
    done
    $MINGW-ar rcs "$prefix/lib/libroaring.a" "$work"/croaring/obj/*.o
    cp -r "$src/include/." "$prefix/include/"
    [ -d "$src/cpp" ] && cp "$src"/cpp/*.hh "$prefix/include/" 2>/dev/null || true
}

build_deps() {   # build_deps ARCH
    local arch=$1
    local DEPS=$QW_CACHE/deps-$arch
    MINGW=$arch-w64-mingw32
    if [ -f "$DEPS/.$DEPS_STAMP" ]; then
        say "third-party libraries: cached in $DEPS"
        return
    fi
    ensure_deb_src
    mkdir -p "$QW_CACHE"
    local tmp
    tmp=$(mktemp -d "$QW_CACHE/deps.tmp.XXXXXX")
    trap 'rm -rf "$tmp"' EXIT
    local prefix=$tmp/prefix work=$tmp/work
    mkdir -p "$prefix/lib" "$prefix/include" "$work"
    say "building Crypto++ ($arch)";  build_cryptopp "$work" "$prefix"
    say "building pugixml ($arch)";   build_pugixml "$work" "$prefix"
    say "building libsigc++ ($arch)"; build_sigc "$work" "$prefix"
    say "building CRoaring ($arch)";  build_croaring "$work" "$prefix"
    touch "$prefix/.$DEPS_STAMP"
    rm -rf "$DEPS"
    mv "$prefix" "$DEPS"
    rm -rf "$tmp"
    trap - EXIT
    say "third-party libraries ready in $DEPS"
}

# ------------------------------------------------------------- wine prefix --
create_wineprefix() {
    . "$here/wine-env.sh"
    local final=$WINEPREFIX
    if [ -f "$final/.qw-ready" ]; then
        say "Wine prefix: $final"
        return
    fi
    mkdir -p "$(dirname "$final")"
    rm -rf "$final.tmp"
    export WINEPREFIX=$final.tmp
    say "creating the Wine prefix"
    wineserver -k >/dev/null 2>&1 || true
    "$QW_WINE" wineboot -i >/dev/null 2>&1 || fail "wineboot -i"
    wineserver -w
    # Headless: the null display driver. The server must restart before the
    # desktop comes back with it, or window creation fails.
    "$QW_WINE" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1 \
        || fail "setting the null display driver"
    # ANSI code page 1252 whatever the host's locale.
    "$QW_WINE" reg add 'HKLM\System\CurrentControlSet\Control\Nls\CodePage' /v ACP /d 1252 /f >/dev/null 2>&1 || true
    # No crash dialog for programs that crash on purpose in the tests.
    "$QW_WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 || true
    wineserver -w
    wineserver -k >/dev/null 2>&1 || true
    local fonts="$WINEPREFIX/drive_c/windows/Fonts" f
    mkdir -p "$fonts"
    for f in /usr/share/wine/fonts/wingding.ttf /usr/lib/wine/fonts/wingding.ttf \
             /usr/lib/i386-linux-gnu/wine/fonts/wingding.ttf /usr/share/fonts/truetype/wine/wingding.ttf; do
        if [ -f "$f" ]; then cp "$f" "$fonts/"; break; fi
    done
    touch "$WINEPREFIX/.qw-ready"
    rm -rf "$final"
    mv "$WINEPREFIX" "$final"
    export WINEPREFIX=$final
    say "Wine prefix ready in $final"
}

install_packages
build_deps i686
build_deps x86_64
create_wineprefix
say "done"
