#!/usr/bin/env bash
# Whole-process timings of the program under Wine.
# Usage: bench-wine.sh [runs]        start-up to the first painted document
#                                    window with a 1 MB C file, and close to
#                                    process end (default 10 runs)
#        bench-wine.sh open [runs]   a 1 GB file of 40-120-byte lines opened
#                                    from the command line (default 3 runs):
#   - bench_docopen: the editor's document, read thread and engine in one
#     process without a window on screen: time to the first screen, to the
#     file fully read, the CPU time of that, and peak memory;
#   - the program itself (QW32.exe FILE): time to the first painted document
#     and to the end of its background read (when it goes idle), its CPU
#     time and peak memory;
#   - beside each run, in the same loop, `wc -l` on the same file: the anchor.
# The table gives medians and each time's ratio to the anchor's median.
# QW_BENCH_DIR: where the 1 GB file is made (default /tmp/qw_corebench, as
# bench-core.sh; it is kept).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
QW_BUILD_ROOT=${QW_BUILD_ROOT:-$root/build}
export QW_BUILD_ROOT
. "$here/wine-env.sh"
if [ "$QW_TEST_ARCH" = i686 ]; then tree=win32; else tree=win64; fi
mode=start
if [ "${1:-}" = open ]; then mode=open; shift; fi

if [ $mode = start ]; then
    QW_BUILD_TARGETS="QW32 macros qw_comp4 qw_startbench" "$here/build.sh" "$tree"
    qw_wine_server_up
    "$QW_WINE" "$QW_BUILD_ROOT/$tree/bin/qw_startbench.exe" "${1:-10}"
    exit 0
fi

runs=${1:-3}
dir=${QW_BENCH_DIR:-/tmp/qw_corebench}
file=$dir/g1024.txt
QW_BUILD_TARGETS="QW32 macros qw_comp4 qw_startbench bench_docopen" "$here/build.sh" "$tree" >/dev/null
if [ ! -f "$file" ]; then
    QW_BUILD_TARGETS=qw_corebench "$here/build.sh" bench >/dev/null
    mkdir -p "$dir"
    "$QW_BUILD_ROOT/bench/bin/qw_corebench" gen "$file" $((1024 * 1048576))
fi
winfile="Z:$(printf '%s' "$file" | tr / '\\')"
bin=$QW_BUILD_ROOT/$tree/bin
qw_wine_server_up

median() { sort -g | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }
key() { awk -v k="$1" '$1 == k {print $2}'; }
# The median of a "label  median N ms" line of qw_startbench.
startbench() { awk -v k="$1" 'index($0, k) == 1 {for (i = 1; i <= NF; ++i) if ($i == "median" || $i == "max") {print $(i+1); exit}}'; }

wc_s=() d_first=() d_full=() d_cpu=() d_peak=() q_paint=() q_full=() q_cpu=() q_peak=()
for ((i = 0; i < runs; i++)); do
    start=$EPOCHREALTIME
    wc -l "$file" >/dev/null
    end=$EPOCHREALTIME
    wc_s+=("$(awk -v s="$start" -v e="$end" 'BEGIN {printf "%.4f", e - s}')")
    out=$("$QW_WINE" "$bin/bench_docopen.exe" "$winfile" 2>/dev/null)
    d_first+=("$(key first_screen_ms <<<"$out")")
    d_full+=("$(key fully_read_ms <<<"$out")")
    d_cpu+=("$(key fully_read_cpu_ms <<<"$out")")
    d_peak+=("$(key peak_working_set_mb <<<"$out")")
    out=$("$QW_WINE" "$bin/qw_startbench.exe" 1 "$winfile" - read 2>/dev/null)
    q_paint+=("$(startbench "start to painted document" <<<"$out")")
    q_full+=("$(startbench "start to fully read" <<<"$out")")
    q_cpu+=("$(startbench "CPU time until then" <<<"$out")")
    q_peak+=("$(startbench "peak working set" <<<"$out")")
done
m() { printf '%s\n' "$@" | median; }
mx() { printf '%s\n' "$@" | sort -g | tail -1; }
wc_m=$(m "${wc_s[@]}")
echo "runs: $runs, load average: $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) cores, file: $file ($(wc -c <"$file") bytes)"
echo "medians; ratio = elapsed / the median of wc -l in the same loop; peak = the highest of the runs"
awk -v w="$wc_m" -v df="$(m "${d_first[@]}")" -v dr="$(m "${d_full[@]}")" -v dc="$(m "${d_cpu[@]}")" \
    -v dp="$(mx "${d_peak[@]}")" -v qp="$(m "${q_paint[@]}")" -v qr="$(m "${q_full[@]}")" \
    -v qc="$(m "${q_cpu[@]}")" -v qm="$(mx "${q_peak[@]}")" 'BEGIN {
    printf "%-44s %10.3f s\n", "wc -l (anchor)", w
    printf "%-44s %10.1f ms\n", "bench_docopen: first screen", df
    printf "%-44s %10.3f s   %5.1fx wc -l   CPU %.2f s\n", "bench_docopen: fully read", dr / 1000, dr / 1000 / w, dc / 1000
    printf "%-44s %10.1f MB\n", "bench_docopen: peak working set", dp
    printf "%-44s %10.1f ms\n", "QW32.exe FILE: start to painted document", qp
    printf "%-44s %10.3f s   %5.1fx wc -l   CPU %.2f s\n", "QW32.exe FILE: start to fully read (idle)", qr / 1000, qr / 1000 / w, qc / 1000
    printf "%-44s %10.1f MB\n", "QW32.exe FILE: peak working set", qm
}'
