#!/usr/bin/env bash
# Whole-process timings of the core engine beside the usual command-line
# tools, on generated files of 40-120-byte lines: searching the lines of a
# lazily loaded buffer, matching in memory, sorting, reading, saving and
# showing the first lines. Each pair runs alternately in the same loop, so a
# loaded machine weighs on both; the table gives elapsed-time medians, their
# ratio, the CPU-time medians of both, and the engine's peak memory.
# Usage: bench-core.sh [runs]   (default 5)
# QW_BENCH_DIR: where the files go (default /tmp/qw_corebench; removed at the
# end unless QW_BENCH_KEEP=1). QW_BENCH_ROWS: a pattern; only the rows whose
# name it matches run ("read|save"). QW_BENCH_BIN: a qw_corebench to time
# instead of building one (an older build, for a comparison).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
QW_BUILD_ROOT=${QW_BUILD_ROOT:-$root/build}
export QW_BUILD_ROOT
runs=${1:-5}
dir=${QW_BENCH_DIR:-/tmp/qw_corebench}
if [ -n "${QW_BENCH_BIN:-}" ]; then
    bin=$QW_BENCH_BIN
else
    QW_BUILD_TARGETS=qw_corebench "$here/build.sh" bench >/dev/null
    bin=$QW_BUILD_ROOT/bench/bin/qw_corebench
fi
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

# One timed run: "elapsed-seconds cpu-seconds peak-KB" of the command.
timed() {
    local t=$dir/time.out start end
    start=$EPOCHREALTIME
    /usr/bin/time -f "%U %S %M" -o "$t" "$@" >/dev/null
    end=$EPOCHREALTIME
    awk -v s="$start" -v e="$end" '{printf "%.4f %.2f %d\n", e - s, $1 + $2, $3}' "$t"
}
median() { sort -g | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }

# row NAME ANCHOR-NAME -- OURS... -- ANCHOR...
row() {
    local name=$1 aname=$2; shift 3
    [[ -z "${QW_BENCH_ROWS:-}" || "$name" =~ $QW_BENCH_ROWS ]] || return 0
    local ours=() anchor=()
    while [ "$1" != -- ]; do ours+=("$1"); shift; done
    shift
    anchor=("$@")
    local a=() b=() c=() d=() m=() s u k
    for ((i = 0; i < runs; i++)); do
        read -r s u k < <(timed "${ours[@]}")
        a+=("$s"); c+=("$u"); m+=("$k")
        read -r s u k < <(timed "${anchor[@]}")
        b+=("$s"); d+=("$u")
        rm -f "$dir"/*.out
    done
    local ma mb mc md mk
    ma=$(printf '%s\n' "${a[@]}" | median)
    mb=$(printf '%s\n' "${b[@]}" | median)
    mc=$(printf '%s\n' "${c[@]}" | median)
    md=$(printf '%s\n' "${d[@]}" | median)
    mk=$(printf '%s\n' "${m[@]}" | sort -g | tail -1)
    awk -v n="$name" -v an="$aname" -v a="$ma" -v b="$mb" -v c="$mc" -v d="$md" -v k="$mk" \
        'BEGIN {printf "%-33s %8.3f %8.3f %6.1fx   %6.2f %6.2f   %6.1f MB  %s\n", n, a, b, (b > 0 ? a / b : 0), c, d, k / 1024, an}'
}

echo "runs: $runs, load average: $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) cores"
echo "elapsed seconds (medians), their ratio, CPU seconds (user + system, medians), engine peak RSS"
printf '%-33s %8s %8s %7s   %6s %6s   %9s  %s\n' operation engine anchor ratio e.cpu a.cpu peak anchor
for size in 100 400 1024; do
    row "search literal, buffer ${size} MB" "rg -c -j1" -- "$bin" search "$dir/g$size.txt" "$literal" \
        -- rg -c -j1 "$literal" "$dir/g$size.txt"
done
row "search 5 words, buffer 1 GB" "rg -c -j1" -- "$bin" search "$dir/g1024.txt" "$words" \
    -- rg -c -j1 "$words" "$dir/g1024.txt"
row "match 5 words, in memory 1 GB" "rg -c -j1" -- "$bin" match "$dir/g1024.txt" "$words" \
    -- rg -c -j1 "$words" "$dir/g1024.txt"
row "sort 1M lines and save" "LC_ALL=C sort" -- "$bin" sort "$dir/s1m.txt" "$dir/sorted.out" \
    -- env LC_ALL=C sort "$dir/s1m.txt" -o "$dir/sorted.out"
row "sort 1M lines and save" "LC_ALL=C sort --parallel=1" -- "$bin" sort "$dir/s1m.txt" "$dir/sorted.out" \
    -- env LC_ALL=C sort --parallel=1 "$dir/s1m.txt" -o "$dir/sorted.out"
for size in 100 400 1024; do
    row "read ${size} MB to its end" "wc -l" -- "$bin" read "$dir/g$size.txt" -- wc -l "$dir/g$size.txt"
done
for size in 100 400 1024; do
    row "load and save ${size} MB unchanged" "cp" -- "$bin" save "$dir/g$size.txt" "$dir/copy.out" \
        -- cp "$dir/g$size.txt" "$dir/copy.out"
done
row "first 1000 lines" "head -n 1000" -- "$bin" head "$dir/g1024.txt" 1000 -- head -n 1000 "$dir/g1024.txt"
