#!/bin/sh
# Runs each fuzz target for SECONDS seconds, from a scratch copy of its seed corpus, so that the
# committed corpus does not grow. Needs a build with -DGANTREL_BUILD_FUZZ=ON (clang).
# Usage: scripts/run-fuzz.sh SECONDS [build-folder [target...]]
set -eu
cd "$(dirname "$0")/.."
seconds="${1:?usage: scripts/run-fuzz.sh SECONDS [build-folder [target...]]}"
build="${2:-build-sanitize}"
[ $# -ge 2 ] && shift 2 || shift $#
targets="${*:-itemreader catalogue prefs gameconfig unzip}"

[ -d "$build" ] || { echo "no build folder $build" >&2; exit 2; }
build="$(cd "$build" && pwd)"
scratch="$build/fuzz-run"
mkdir -p "$scratch"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"

failed=""
for target in $targets; do
    binary="$build/fuzz/fuzz_$target"
    [ -x "$binary" ] || { echo "missing $binary: build with -DGANTREL_BUILD_FUZZ=ON" >&2; exit 2; }
    case "$target" in
        unzip) max_len=2048 ;;
        *) max_len=4096 ;;
    esac
    work="$scratch/$target"
    rm -rf "$work"
    mkdir -p "$work/corpus" "$work/tmp"
    cp fuzz/corpus/"$target"/* "$work/corpus/"
    log="$work/fuzz.log"
    echo "fuzz_$target: $seconds s"
    if TMPDIR="$work/tmp" "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -max_len="$max_len" -print_final_stats=1 -artifact_prefix="$work/" "$work/corpus" >"$log" 2>&1; then
        grep -E '^#[0-9]+[[:space:]]+DONE|stat::number_of_executed_units' "$log" || true
    else
        tail -n 60 "$log"
        echo "fuzz_$target FAILED: see $log and the crash-* / leak-* / timeout-* file in $work" >&2
        failed="$failed $target"
    fi
done
[ -z "$failed" ] || { echo "failed fuzz targets:$failed" >&2; exit 1; }
