#!/bin/bash
# CTest delay_bench: the delay benchmark, up to three runs. It times the machine as it is, and a
# busy one (other tasks, or the hypervisor running something else) stretches a run now and then;
# a delay that is really too slow or too busy fails every run. An early wait is a fault of the
# delay itself, whatever the machine does: it fails at once.
# Usage: tests/delay_bench.sh BENCH
set -u
bench="$1"
for try in 1 2 3; do
  out="$("$bench")"; status=$?
  echo "$out"
  last="${out##*$'\n'}"
  case "$last" in
    "delay: "*" early 0") ;;
    *) echo "run $try: a wait came back early, or no verdict"; exit 1 ;;
  esac
  [ $status = 0 ] && exit 0
  echo "run $try: outside the bounds"
done
exit 1
