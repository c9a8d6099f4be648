#!/usr/bin/env bash
# Whole-process timings of the core engine beside the usual command-line
# tools, on generated files of 40-120-byte lines: searching the lines of a
# lazily loaded buffer, matching in memory, sorting, reading, saving and
# showing the first lines. Each pair runs alternately in the same loop, so a
# loaded machine weighs on both; the table gives medians, their ratio and the
# engine's peak memory.
# Usage: bench-core.sh [runs]   (default 5)
# QW_BENCH_DIR: where the files go (default /tmp/qw_corebench; removed at the
# end unless QW_BENCH_KEEP=1).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
QW_BUILD_ROOT=${QW_BUILD_ROOT:-$root/build}
export QW_BUILD_ROOT
runs=${1:-5}
dir=${QW_BENCH_DIR:-/tmp/qw_corebench}
QW_BUILD_TARGETS=qw_corebench "$here/build.sh" bench >/dev/null
bin=$QW_BUILD_ROOT/bench/bin/qw_corebench
command -v rg >/dev/null || { echo "bench-core: ripgrep (rg) is needed" >&2; exit 2; }

mkdir -p "$dir"
cleanup() { [ "${QW_BENCH_KEEP:-0}" = 1 ] || rm -rf "$dir"; }
trap cleanup EXIT
for size in 100 400 1024; do
    f=$dir/g$size.txt
    [ -f "$f" ] || "$bin" gen "$f" $((size * 1048576))
done
[ -f "$dir/s1m.txt" ] || head -n 1000000 "$dir/g1024.txt" >"$dir/s1m.txt"

literal='Sherlock Holmes'
words='Sherlock|Watson|Moriarty|Baker|London'

# One timed run: "seconds peak-KB" of the command.
timed() {
    local t=$dir/time.out
    /usr/bin/time -f "%e %M" -o "$t" "$@" >/dev/null
    cat "$t"
}
median() { sort -g | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }

# row NAME -- OURS... -- ANCHOR...
row() {
    local name=$1; shift; shift
    local ours=() anchor=()
    while [ "$1" != -- ]; do ours+=("$1"); shift; done
    shift
    anchor=("$@")
    local a=() b=() m=()
    for ((i = 0; i < runs; i++)); do
        read -r s k < <(timed "${ours[@]}")
        a+=("$s"); m+=("$k")
        read -r s k < <(timed "${anchor[@]}")
        b+=("$s")
        rm -f "$dir"/*.out
    done
    local ma mb mk
    ma=$(printf '%s\n' "${a[@]}" | median)
    mb=$(printf '%s\n' "${b[@]}" | median)
    mk=$(printf '%s\n' "${m[@]}" | sort -g | tail -1)
    awk -v n="$name" -v a="$ma" -v b="$mb" -v k="$mk" -v an="${anchor[0]}" \
        'BEGIN {printf "%-34s %8.2f s %8.2f s %7.1fx  %6.1f MB  (%s)\n", n, a, b, (b > 0 ? a / b : 0), k / 1024, an}'
}

echo "runs: $runs, load: $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) cores"
printf '%-34s %10s %10s %8s %9s\n' operation engine anchor ratio peak
for size in 100 400 1024; do
    row "search literal, buffer ${size} MB" -- "$bin" search "$dir/g$size.txt" "$literal" \
        -- rg -c -j1 "$literal" "$dir/g$size.txt"
done
row "search 5 words, buffer 1 GB" -- "$bin" search "$dir/g1024.txt" "$words" \
    -- rg -c -j1 "$words" "$dir/g1024.txt"
row "match 5 words, in memory 1 GB" -- "$bin" match "$dir/g1024.txt" "$words" \
    -- rg -c -j1 "$words" "$dir/g1024.txt"
row "sort 1M lines and save" -- "$bin" sort "$dir/s1m.txt" "$dir/sorted.out" \
    -- env LC_ALL=C sort "$dir/s1m.txt" -o "$dir/sorted.out"
row "sort 1M lines (one thread anchor)" -- "$bin" sort "$dir/s1m.txt" "$dir/sorted.out" \
    -- env LC_ALL=C sort --parallel=1 "$dir/s1m.txt" -o "$dir/sorted.out"
row "read 1 GB to its end" -- "$bin" read "$dir/g1024.txt" -- wc -l "$dir/g1024.txt"
row "load and save 1 GB unchanged" -- "$bin" save "$dir/g1024.txt" "$dir/copy.out" \
    -- cp "$dir/g1024.txt" "$dir/copy.out"
row "first 1000 lines" -- "$bin" head "$dir/g1024.txt" 1000 -- head -n 1000 "$dir/g1024.txt"
