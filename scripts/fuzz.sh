#!/bin/bash
# fuzz.sh [SECONDS [TARGET...]]: builds the fuzz targets (scripts/build.sh fuzz) and runs each
# target of fuzz/ (or those named, such as input_decoder_fuzz) for SECONDS (120 unless given)
# over its seed corpus fuzz/corpus/<target>/, the real inputs and every finding kept. The
# seeds are only read: what a run learns goes to build/fuzz/corpus/<target>/, an input that
# fails a target to build/fuzz/findings/<target>/ (mend it, then keep the input among the
# seeds). Prints each target's executions and findings and ends with "N passed, M failed",
# one per target.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${1:-120}
shift $(($# > 0 ? 1 : 0))
sources=(fuzz/*.cpp)
if [ $# -gt 0 ]; then
    sources=()
    for target in "$@"; do sources+=("fuzz/$target.cpp"); done
fi
mkdir -p build
if ! bash scripts/build.sh fuzz > build/fuzz-build.log 2>&1; then
    tail -20 build/fuzz-build.log
    echo "FAIL build fuzz"
    echo "0 passed, 1 failed"
    exit 1
fi

passed=0
failed=0
for source in "${sources[@]}"; do
    target=$(basename "$source" .cpp)
    learnt=build/fuzz/corpus/$target findings=build/fuzz/findings/$target
    log=build/fuzz/$target.log
    rm -rf "$findings"
    mkdir -p "$learnt" "$findings"
    # No single allocation above 64 MiB, no input longer than 10 s: either is a finding.
    "build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -malloc_limit_mb=64 \
        -rss_limit_mb=1024 -print_final_stats=1 -artifact_prefix="$findings/" \
        "$learnt" "fuzz/corpus/$target" > "$log" 2>&1
    status=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    found=$(find "$findings" -type f | wc -l)
    if [ "$status" -eq 0 ] && [ "$found" -eq 0 ]; then
        echo "PASS $target: ${runs:-0} executions in $seconds s, no finding"
        passed=$((passed + 1))
    else
        echo "FAIL $target: ${runs:-0} executions, $found finding(s) in $findings (exit $status)"
        grep -E "ERROR|SUMMARY|fuzz/.*\.cpp:[0-9]+: " "$log" | head -5
        failed=$((failed + 1))
    fi
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
