#!/usr/bin/env bash
# valgrind memcheck over the end-to-end tests of a test build: every run of the
# program in tests/e2e, then the real bundle in the recorder (the sessions, the
# 1000 windows, a dozen validator sessions). Any memcheck error or definite
# leak fails the run.
# Usage: scripts/memcheck.sh [build dir]   (a build made by scripts/test.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
memcheck="valgrind --error-exitcode=97 --leak-check=full --errors-for-leak-kinds=definite -q"
shards=$(nproc)
pids=()
for ((shard = 0; shard < shards; shard++)); do
  XY_E2E_WRAPPER="$memcheck" GTEST_TOTAL_SHARDS=$shards GTEST_SHARD_INDEX=$shard \
    "$build/e2e_tests" --gtest_brief=1 >"$build/memcheck-e2e-$shard.log" 2>&1 &
  pids+=($!)
done
status=0
for ((shard = 0; shard < shards; shard++)); do
  wait "${pids[$shard]}" || { status=1; cat "$build/memcheck-e2e-$shard.log" >&2; }
done
XY_VALIDATOR_SESSIONS=12 $memcheck "$build/recorder_tests" --gtest_brief=1 \
  --gtest_filter='XYPlotSession.*:RecorderLeaks.*:HostSessionValidator.*' || status=1
[ $status -eq 0 ] && echo "memcheck: no errors"
exit $status
