#!/bin/sh
# Runs every fuzz target, sharing the given number of seconds out among them
# (default 1800: ten minutes each for three targets), starting from its seed
# corpus in fuzz/corpus/<target>/. New inputs that reach new code go to
# build-fuzz/corpus/<target>/; a crash leaves its input in build-fuzz/crashes/
# (named after the target) and ends the run with a failure.
#   fuzz/run.sh            half an hour in all
#   fuzz/run.sh 60         the short run of ./test
set -eu
cd "$(dirname "$0")/.."
TOTAL_SECONDS=${1:-1800}
./fuzz/build.sh >/dev/null
mkdir -p build-fuzz/crashes
targets=""
for seeds in fuzz/corpus/*/; do
    target=$(basename "$seeds")
    [ -x "build-fuzz/fuzz_$target" ] && targets="$targets $target"
done
count=$(echo $targets | wc -w)
[ "$count" -gt 0 ] || { echo "no fuzz target built" >&2; exit 1; }
SECONDS_EACH=$((TOTAL_SECONDS / count))
[ "$SECONDS_EACH" -gt 0 ] || SECONDS_EACH=1
status=0
for target in $targets; do
    found="build-fuzz/corpus/$target"
    mkdir -p "$found"
    echo "fuzz_$target: ${SECONDS_EACH}s"
    if ! "build-fuzz/fuzz_$target" "$found" "fuzz/corpus/$target/" -max_total_time="$SECONDS_EACH" \
        -artifact_prefix="build-fuzz/crashes/$target-" -print_final_stats=1 -rss_limit_mb=2048 \
        -timeout=10 2>"build-fuzz/fuzz_$target.log"; then
        tail -n 60 "build-fuzz/fuzz_$target.log" >&2
        status=1
    else
        grep -E '^stat::(number_of_executed_units|peak_rss_mb)' "build-fuzz/fuzz_$target.log" || true
    fi
done
exit $status
