#!/usr/bin/env bash
# Configures and builds the three build trees (outside the clone unless
# QW_BUILD_ROOT says otherwise):
#   win32  the shipped 32-bit program and libraries (i686)
#   win64  the same sources for x86_64, whose tests run where 32-bit code cannot
#   host   the portable core, natively, with sanitizers
# Usage: build.sh [win32|win64|host|bench ...]   (default: win32 win64 host)
# QW_BUILD_TARGETS limits what is built in each tree (default: everything).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
QW_BUILD_ROOT=${QW_BUILD_ROOT:-$root/build}

configure() {   # configure NAME [cmake args...]
    local dir=$QW_BUILD_ROOT/$1; shift
    if [ ! -f "$dir/build.ninja" ]; then
        cmake -S "$root" -B "$dir" -G Ninja "$@" >/dev/null
    fi
}

build_one() {
    case "$1" in
        win32) configure win32 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw32.cmake" ;;
        win64) configure win64 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw64.cmake" ;;
        host)  configure host ;;
        bench) configure bench -DQW_SANITIZE=OFF -DCMAKE_BUILD_TYPE=Release ;;
        *) echo "build.sh: unknown build '$1'" >&2; exit 2 ;;
    esac
    echo "[build] $1"
    # shellcheck disable=SC2086
    cmake --build "$QW_BUILD_ROOT/$1" ${QW_BUILD_TARGETS:+--target $QW_BUILD_TARGETS}
}

targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(win32 win64 host)
for t in "${targets[@]}"; do build_one "$t"; done
