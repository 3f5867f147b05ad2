#!/usr/bin/env bash
# Builds the fuzzers of fuzz/ with clang (AddressSanitizer, UndefinedBehaviorSanitizer)
# and runs each on the seed corpus that the tests wrote into a test build.
#
# Usage: scripts/fuzz.sh SEED_BUILD [SECONDS]
#   SEED_BUILD  a build folder whose tests have run (its fuzz-corpus/ holds the seeds)
#   SECONDS     run each fuzzer this long; without it, a short fixed number of runs each (CI)
# What each fuzzer finds grows in build-fuzz/corpus/NAME; a crash, a hang (10 s for
# one input) or a leak stops it and leaves the input in build-fuzz/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."
seeds="$1/fuzz-corpus"
seconds=${2:-}
[ -d "$seeds" ] || { echo "fuzz.sh: no seeds in $seeds; run the tests of $1 first" >&2; exit 2; }
build=build-fuzz
cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DXY_FUZZ=ON -DXY_APPS=OFF -DXY_BENCHMARKS=OFF \
      -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O1 -gline-tables-only" >/dev/null
cmake --build "$build" -j"$(nproc)" --target fuzzers
mkdir -p "$build/artifacts"
declare -A runs=([csv]=60000 [live_csv]=60000 [wav]=6000 [edf]=6000 [script]=60000)
for name in csv live_csv wav edf script; do
  mkdir -p "$build/corpus/$name"
  limit=(-runs="${runs[$name]}")
  [ -n "$seconds" ] && limit=(-max_total_time="$seconds")
  echo "fuzzing $name: ${limit[*]}"
  "$build/${name}_fuzzer" "${limit[@]}" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$build/artifacts/$name-" "$build/corpus/$name" "$seeds/$name" 2>"$build/$name.log" ||
    { tail -40 "$build/$name.log" >&2; exit 1; }
  grep -E "^(Done|stat::number_of_executed_units|stat::peak_rss_mb)" "$build/$name.log"
done
