#!/usr/bin/env bash
# Builds the fuzz targets of tests/fuzz (clang, libFuzzer with address and
# undefined-behaviour sanitizers, a tree of its own: build/fuzz) and runs
# each for a bounded time from its seed corpus.
#
# Usage: scripts/fuzz.sh [SECONDS [TARGET...]]
#   SECONDS  time per target (default 30)
#   TARGET   regex loadsave format config datatable dictionary stylesheet
#            lexer copydata (default: all; in a run of all, dictionary,
#            stylesheet and lexer get two thirds of SECONDS)
# A crash, a failed check, a leak or a hang (one input running over
# QW_FUZZ_TIMEOUT seconds, default 20) stops that target; its input is
# printed in the log (hex) and kept under build/fuzz/artifacts/, and the
# script fails. New inputs the fuzzer finds go to build/fuzz/corpus/TARGET/
# and are used again on the next run.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
QW_BUILD_ROOT=${QW_BUILD_ROOT:-$root/build}
dir=$QW_BUILD_ROOT/fuzz
seconds=${1:-30}
shift || true
timeout_s=${QW_FUZZ_TIMEOUT:-20}

if [ ! -f "$dir/build.ninja" ]; then
    CC=clang CXX=clang++ cmake -S "$root" -B "$dir" -G Ninja -DQW_FUZZ=ON \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
read -r -a all < <(tr ";" " " < "$dir/fuzz_targets.txt"; echo) || true
read -r -a short < <(tr ";" " " < "$dir/fuzz_short.txt" 2>/dev/null; echo) || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${all[@]}")
echo "[fuzz] building ${targets[*]}"
cmake --build "$dir" --target "${targets[@]/#/fuzz_}"

mkdir -p "$dir/artifacts"
# A crashed target leaves its temporary folder behind: keep them here.
export TMPDIR=$dir/tmp
rm -rf "$TMPDIR"
mkdir -p "$TMPDIR"
status=0
for t in "${targets[@]}"; do
    work=$dir/corpus/$t
    mkdir -p "$work"
    log=$dir/fuzz_$t.log
    # A whole run gives the later targets two thirds of the time.
    t_seconds=$seconds
    if [ $# -eq 0 ] && [[ " ${short[*]} " == *" $t "* ]]; then t_seconds=$(( seconds * 2 / 3 )); fi
    echo "[fuzz] $t for ${t_seconds} s"
    # Files are read lazily in blocks of lines: their targets need inputs
    # long enough to reach past the first block.
    case $t in loadsave|datatable) max_len=65536 ;; stylesheet) max_len=16384 ;; copydata) max_len=4200 ;; *) max_len=4096 ;; esac
    rc=0
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
        "$dir/bin/fuzz_$t" -max_total_time="$t_seconds" -timeout="$timeout_s" -rss_limit_mb=2560 \
        -max_len=$max_len -print_final_stats=1 -artifact_prefix="$dir/artifacts/$t-" \
        "$work" "$root/tests/fuzz/corpus/$t" >"$log" 2>&1 || rc=$?
    grep -E '^(stat::number_of_executed_units|stat::new_units_added)' "$log" | sed "s/^/[fuzz] $t /" || true
    if [ "$rc" -ne 0 ]; then
        status=1
        echo "[fuzz] $t FAILED (exit $rc); its log from the failure on:"
        awk '/FUZZ_CHECK failed|==ERROR|ERROR: libFuzzer/ { on = 1 } on' "$log" | head -n 150
        for a in $(grep -oE "Test unit written to [^ ]+" "$log" | awk '{print $5}'); do
            echo "[fuzz] input $a:"
            od -A d -t x1 -v "$a" | head -n 64
        done
    fi
done
exit $status
