#!/usr/bin/env bash
# Whole-process timings of the program under Wine.
# Usage: bench-wine.sh [runs]        start-up to the first painted document
#                                    window with a 1 MB C file, and close to
#                                    process end (default 10 runs)
#        bench-wine.sh open [runs]   a 1 GB file of 40-120-byte lines opened
#                                    from the command line (default 3 runs;
#                                    QW_BENCH_MB sets another size in MB):
#   - bench_docopen: the editor's document, read thread and engine in one
#     process without a window on screen: time to the first screen, to the
#     file fully read, the CPU time of that, peak memory, and the time the
#     document then takes to close;
#   - the program itself (QW32.exe FILE): time to the first painted document
#     (qw_startbench), and, in a run of its own watched from outside through
#     /proc, the time until its background read is done (the last moment the
#     process kept a CPU busy before it stayed idle for two seconds), its CPU
#     time and its peak memory;
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
mb=${QW_BENCH_MB:-1024}
file=$dir/g$mb.txt
QW_BUILD_TARGETS="QW32 macros qw_comp4 qw_startbench bench_docopen" "$here/build.sh" "$tree" >/dev/null
tick=$(getconf CLK_TCK)
if [ ! -f "$file" ]; then
    QW_BUILD_TARGETS=qw_corebench "$here/build.sh" bench >/dev/null
    mkdir -p "$dir"
    "$QW_BUILD_ROOT/bench/bin/qw_corebench" gen "$file" $((mb * 1048576))
fi
winfile="Z:$(printf '%s' "$file" | tr / '\\')"
bin=$QW_BUILD_ROOT/$tree/bin
qw_wine_server_up

median() { sort -g | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }
key() { awk -v k="$1" '$1 == k {print $2}'; }
# The median of a "label  median N ms" line of qw_startbench.
startbench() { awk -v k="$1" 'index($0, k) == 1 {for (i = 1; i <= NF; ++i) if ($i == "median") {print $(i+1); exit}}'; }

# One run of the program on the file, watched through /proc: "elapsed-seconds
# cpu-seconds peak-KB" until it went idle; then it is ended and its swap file
# removed (an ended process leaves it behind).
qw32_read() {
    "$QW_WINE" "$bin/QW32.exe" "$winfile" >/dev/null 2>&1 &
    local pid=$! start=$EPOCHREALTIME now cpu prev_cpu=0 prev_t busy_t busy_cpu=0 swap=""
    prev_t=$start busy_t=$start
    while sleep 0.05; do
        [ -r "/proc/$pid/stat" ] || break
        now=$EPOCHREALTIME
        cpu=$(awk '{print $14 + $15}' "/proc/$pid/stat")
        if awk -v c="$cpu" -v p="$prev_cpu" -v t="$tick" -v a="$prev_t" -v b="$now" \
            'BEGIN {exit !((c - p) / t > (b - a) / 5)}'; then
            busy_t=$now busy_cpu=$cpu
        elif awk -v a="$busy_t" -v b="$now" -v s="$start" 'BEGIN {exit !(b - a > 2 && b - s > 5)}'; then
            break
        fi
        prev_cpu=$cpu prev_t=$now
        [ -n "$swap" ] || swap=$(find "/proc/$pid/fd" -lname '*QW32_Swap*' -printf '%l\n' 2>/dev/null | head -1 || true)
    done
    local peak
    peak=$(awk '/^VmHWM/ {print $2}' "/proc/$pid/status" 2>/dev/null || echo 0)
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    [ -z "$swap" ] || rm -f "$swap"
    awk -v s="$start" -v e="$busy_t" -v c="$busy_cpu" -v t="$tick" -v k="$peak" \
        'BEGIN {printf "%.3f %.2f %d\n", e - s, c / t, k}'
}

wc_s=() d_first=() d_full=() d_cpu=() d_peak=() d_close=() q_paint=() q_full=() q_cpu=() q_peak=()
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
    d_close+=("$(key close_ms <<<"$out")")
    out=$("$QW_WINE" "$bin/qw_startbench.exe" 1 "$winfile" 2>/dev/null)
    q_paint+=("$(startbench "start to painted document" <<<"$out")")
    read -r s u k < <(qw32_read)
    q_full+=("$(awk -v s="$s" 'BEGIN {print s * 1000}')")
    q_cpu+=("$(awk -v u="$u" 'BEGIN {print u * 1000}')")
    q_peak+=("$(awk -v k="$k" 'BEGIN {print k / 1024}')")
done
m() { printf '%s\n' "$@" | median; }
mx() { printf '%s\n' "$@" | sort -g | tail -1; }
wc_m=$(m "${wc_s[@]}")
echo "runs: $runs, load average: $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) cores, file: $file ($(wc -c <"$file") bytes)"
echo "medians; ratio = elapsed / the median of wc -l in the same loop; peak = the highest of the runs"
awk -v w="$wc_m" -v df="$(m "${d_first[@]}")" -v dr="$(m "${d_full[@]}")" -v dc="$(m "${d_cpu[@]}")" \
    -v dp="$(mx "${d_peak[@]}")" -v dx="$(m "${d_close[@]}")" -v qp="$(m "${q_paint[@]}")" -v qr="$(m "${q_full[@]}")" \
    -v qc="$(m "${q_cpu[@]}")" -v qm="$(mx "${q_peak[@]}")" 'BEGIN {
    printf "%-44s %10.3f s\n", "wc -l (anchor)", w
    printf "%-44s %10.1f ms\n", "bench_docopen: first screen", df
    printf "%-44s %10.3f s   %5.1fx wc -l   CPU %.2f s\n", "bench_docopen: fully read", dr / 1000, dr / 1000 / w, dc / 1000
    printf "%-44s %10.1f MB\n", "bench_docopen: peak working set", dp
    printf "%-44s %10.1f ms\n", "bench_docopen: closing the document", dx
    printf "%-44s %10.1f ms\n", "QW32.exe FILE: start to painted document", qp
    printf "%-44s %10.3f s   %5.1fx wc -l   CPU %.2f s\n", "QW32.exe FILE: start to fully read (idle)", qr / 1000, qr / 1000 / w, qc / 1000
    printf "%-44s %10.1f MB\n", "QW32.exe FILE: peak working set", qm
}'
