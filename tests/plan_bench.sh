#!/bin/bash
# CTest plan_bench: one run of the plan benchmark, whose lines it prints. How long a plan takes
# depends on the machine as it is (other tasks, the sanitizers), so the 1 s bound is the
# benchmark's own verdict (its exit status), printed here. The test fails when the benchmark gives
# no verdict (a crash, a sanitizer report) and, unless --sanitized, when a set is not proven within
# the planner's own time limit.
# Usage: tests/plan_bench.sh BENCH [--sanitized]
set -u
out="$("$1")"
echo "$out"
last="${out##*$'\n'}"
case "$last" in
  "plan-bench: every set "* | "plan-bench: "*" sets not proven "*) ;;
  *) echo "the benchmark gave no verdict"; exit 1 ;;
esac
[ "${2:-}" = --sanitized ] && exit 0
if grep -E ' NOT proven$' <<<"$out"; then
  echo "not proven within the planner's time limit: the sets above"
  exit 1
fi
exit 0
