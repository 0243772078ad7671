#!/bin/bash
# Runs each fuzz target for SECONDS seconds from a seed corpus made of the end-to-end command files
# and the card files. Exits non-zero when a target finds a crash, a hang or a sanitizer report.
set -u
build="$(cd "$1" && pwd)"; seconds="${2:-60}"
top="$(cd "$(dirname "$0")/../.." && pwd)"
status=0
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
seeds_cmd="$(mktemp -d)"; seeds_card="$(mktemp -d)"
trap 'rm -rf "$seeds_cmd" "$seeds_card"' EXIT
# Inputs that once crashed, hung or ran too long stay in the seeds as regression cases.
cp "$top"/tests/e2e/*.pnp "$top"/examples/*.pnp "$top"/tests/fuzz/regressions/command/* "$seeds_cmd"/ 2>/dev/null
cp "$top"/tests/e2e/cards/* "$top"/tests/cards/real/*.hex "$top"/tests/fuzz/regressions/card/* "$seeds_card"/ 2>/dev/null
run command_fuzz "$seeds_cmd"
run card_fuzz "$seeds_card"
exit $status
