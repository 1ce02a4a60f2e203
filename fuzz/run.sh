#!/bin/sh
# Runs every fuzz target for the given number of seconds each (default 600),
# starting from its seed corpus in fuzz/corpus/<target>/. New inputs that
# reach new code go to build-fuzz/corpus/<target>/; a crash leaves its input
# in build-fuzz/crashes/ and ends the run with a failure.
#   fuzz/run.sh            ten minutes per target
#   fuzz/run.sh 20         the short run of ./test
set -eu
cd "$(dirname "$0")/.."
SECONDS_EACH=${1:-600}
./fuzz/build.sh >/dev/null
mkdir -p build-fuzz/crashes
status=0
for seeds in fuzz/corpus/*/; do
    target=$(basename "$seeds")
    [ -x "build-fuzz/fuzz_$target" ] || continue
    found="build-fuzz/corpus/$target"
    mkdir -p "$found"
    echo "fuzz_$target: ${SECONDS_EACH}s"
    if ! "build-fuzz/fuzz_$target" "$found" "$seeds" -max_total_time="$SECONDS_EACH" \
        -artifact_prefix=build-fuzz/crashes/ -print_final_stats=1 -rss_limit_mb=2048 \
        -timeout=10 2>"build-fuzz/fuzz_$target.log"; then
        tail -n 60 "build-fuzz/fuzz_$target.log" >&2
        status=1
    else
        grep -E '^stat::(number_of_executed_units|peak_rss_mb)' "build-fuzz/fuzz_$target.log" || true
    fi
done
exit $status
