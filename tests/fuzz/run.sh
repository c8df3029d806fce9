#!/usr/bin/env bash
# Builds the points-file reader's libFuzzer target with clang (address and undefined-behaviour
# sanitizers) and runs it, seeded with the reader's test corpus. Not part of the default build.
#   tests/fuzz/run.sh [seconds]     run for that long (default 600)
# New findings land in $FUZZ_DIR/crashes (default build-fuzz/ beside the sources).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${1:-600}
dir=${FUZZ_DIR:-$root/build-fuzz}
mkdir -p "$dir/corpus" "$dir/crashes"

clang++ -std=c++20 -g -O1 -fPIC -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
    -ffp-contract=off \
    -I"$root/src" $(pkg-config --cflags Qt6Core) \
    "$root/tests/fuzz/pointsfile_fuzz.cpp" \
    "$root/src/core/units/glowny/pointsfile.cpp" \
    "$root/src/core/units/uu.cpp" \
    "$root/src/core/units/errors.cpp" \
    $(pkg-config --libs Qt6Core) -o "$dir/pointsfile_fuzz"

cd "$dir"
exec ./pointsfile_fuzz -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$dir/crashes/" corpus "$root/tests/core/pointsfile_corpus"
