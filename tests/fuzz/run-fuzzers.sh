#!/bin/bash
# Runs each fuzz target for SECONDS seconds from a seed corpus made of the end-to-end command files
# and the card files (for the planner's, the real cards' resource data alone and in sets). Exits
# non-zero when a target finds a crash, a hang or a sanitizer report.
set -u
build="$(cd "$1" && pwd)"; seconds="${2:-60}"
top="$(cd "$(dirname "$0")/../.." && pwd)"
status=0
# A report of the undefined behaviour sanitizer fails a run too, as the address sanitizer's does;
# what is known and reported is suppressed until fixed (ubsan-known.supp).
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1:suppressions=$top/tests/fuzz/ubsan-known.supp}"
run() {
  local target="$1"; shift
  local corpus="$top/tests/fuzz/corpus-$target"
  mkdir -p "$corpus"
  echo "== $target: $seconds s"
  # A smaller quarantine keeps the memory of a long run flat; no leak hides behind it (the
  # leak check runs after every input).
  ( cd "$build" && ASAN_OPTIONS="${ASAN_OPTIONS:-quarantine_size_mb=64}" "./$target" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=4096 \
      -print_final_stats=1 -artifact_prefix="$build/" "$corpus" "$@" ) > "$build/$target.log" 2>&1
  local rc=$?
  grep -E '^(#[0-9]+\s+DONE|stat::number_of_executed_units|stat::peak_rss_mb)|cov:' "$build/$target.log" | tail -3
  if [ $rc -ne 0 ]; then
    echo "$target FAILED (exit $rc); the log ends:"; tail -40 "$build/$target.log"; status=1
  fi
}
seeds_cmd="$(mktemp -d)"; seeds_card="$(mktemp -d)"; seeds_plan="$(mktemp -d)"
trap 'rm -rf "$seeds_cmd" "$seeds_card" "$seeds_plan"' EXIT
# Inputs that once crashed, hung or ran too long stay in the seeds as regression cases.
cp "$top"/tests/e2e/*.pnp "$top"/examples/*.pnp "$top"/tests/fuzz/regressions/command/* "$seeds_cmd"/ 2>/dev/null
cp "$top"/tests/e2e/cards/* "$top"/tests/cards/real/*.hex "$top"/tests/fuzz/regressions/card/* "$seeds_card"/ 2>/dev/null

# The resource data of a card file (its bytes after the 9-byte serial identifier), raw.
resource_data() {
  local b
  for b in $(sed 's/#.*//' "$1" | tr -s ' \t\r' '\n\n\n' | grep -E '^[0-9A-Fa-f]{2}$' | tail -n +10); do
    printf "\\x$b"
  done
}
# A planner input: an options byte (OPT: bit 0 read port 0x203, else none; bit 1 a time limit of
# 1 ms), then the cards' resource data separated by "CARD".
plan_seed() {
  local opt="$1" out="$2" first=1 f; shift 2
  { printf "\\x$opt"
    for f in "$@"; do
      [ $first = 1 ] || printf 'CARD'
      first=0; resource_data "$f"
    done; } > "$out"
}
real=("$top"/tests/cards/real/*.hex)
for f in "${real[@]}"; do plan_seed 01 "$seeds_plan/$(basename "$f" .hex)" "$f"; done
plan_seed 01 "$seeds_plan/all-six" "${real[@]}"
plan_seed 00 "$seeds_plan/all-six-no-read-port" "${real[@]}"
plan_seed 03 "$seeds_plan/all-six-short-limit" "${real[@]}"
seventeen=("${real[@]}" "${real[@]}" "${real[@]}"); plan_seed 01 "$seeds_plan/seventeen" "${seventeen[@]:0:17}"
# regressions/plan/slow/ holds inputs the planner takes seconds over even in a plain build, too
# slow for seeds: build/velkor-plan-bench --read-sets plans them.
find "$top"/tests/fuzz/regressions/plan -maxdepth 1 -type f ! -name .keep -exec cp {} "$seeds_plan"/ \;

run command_fuzz "$seeds_cmd"
run card_fuzz "$seeds_card"
run plan_fuzz "$seeds_plan"
exit $status
