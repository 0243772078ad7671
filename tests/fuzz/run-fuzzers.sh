#!/bin/bash
# Runs each fuzz target for SECONDS seconds from a seed corpus made of the end-to-end command files
# and the card files (for the planner's, the real cards' resource data alone and in sets; for the
# host readers', the machines of tests/host). Exits non-zero when a target finds a crash, a hang
# or a sanitizer report.
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
seeds_cmd="$(mktemp -d)"; seeds_card="$(mktemp -d)"; seeds_plan="$(mktemp -d)"; seeds_host="$(mktemp -d)"
trap 'rm -rf "$seeds_cmd" "$seeds_card" "$seeds_plan" "$seeds_host"' EXIT
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

# A host_fuzz input (tests/fuzz/host_fuzz.cpp says its records) made from a machine of tests/host:
# a record for each file and link the target knows how to make. With "copied", the sysfs devices
# are directories of their own, as in a copy made by following links (no driver links).
# record KIND PP CC DD: one record (PP, CC, DD in hex), its content read from standard input.
record() {
  local f n; f="$(mktemp)"; cat > "$f"; n=$(stat -c %s "$f")
  printf "$(printf '\\x%02x\\x%s\\x%s\\x%s\\x%02x\\x%02x' "$1" "$2" "$3" "$4" $((n & 255)) $((n >> 8 & 255)))"
  cat "$f"; rm -f "$f"
}
# The device PP:CC.DD (or PP:CC) named by the last part of $1 into pp, cc and dd (00 when none).
name_parts() {
  local d="${1##*/}"
  pp="${d:0:2}"; cc="${d:3:2}"; dd="${d:6:2}"; dd="${dd:-00}"
}
host_seed() {
  local machine="$1" copied="${2:-}" rel dir base pp cc dd short kind
  ( cd "$machine" && find . \( -type f -o -type l \) | sort ) | while IFS= read -r rel; do
    rel="${rel#./}"; dir="${rel%/*}"; base="${dir##*/}"
    short=0; [ ${#base} = 5 ] && short=32  # a PnP BIOS device's name: PP:CC
    case "$rel" in
      proc/ioports) record 0 00 00 00 < "$machine/$rel" ;;
      proc/iomem) record 1 00 00 00 < "$machine/$rel" ;;
      proc/interrupts) record 2 00 00 00 < "$machine/$rel" ;;
      proc/dma) record 3 00 00 00 < "$machine/$rel" ;;
      proc/bus/isapnp/??/??) record 9 00 "${rel:16:2}" "${rel:19:2}" < "$machine/$rel" ;;
      sys/devices/pnp*/card_id) name_parts "$dir"; record 8 "$pp" "$cc" 00 < "$machine/$rel" ;;
      sys/devices/pnp*/id)
        name_parts "$dir"
        if [ -n "$copied" ]; then kind=4; else kind=5; fi
        record $((kind + short)) "$pp" "$cc" "$dd" < "$machine/$rel" ;;
      sys/devices/pnp*/driver)
        name_parts "$dir"
        [ -n "$copied" ] || readlink "$machine/$rel" | tr -d '\n' | record $((6 + short + 64)) "$pp" "$cc" "$dd" ;;
      sys/bus/pnp/drivers/*/??:??*)
        name_parts "$rel"; base="${rel##*/}"; short=0; [ ${#base} = 5 ] && short=32
        printf '%s' "${dir##*/}" | record $((7 + short + 64)) "$pp" "$cc" "$dd" ;;
    esac
  done
}
for m in "$top"/tests/host/*/; do host_seed "$m" > "$seeds_host/$(basename "$m")"; done
host_seed "$top/tests/host/pc-sound" copied > "$seeds_host/pc-sound-copied"
cp "$top"/tests/fuzz/regressions/host/* "$seeds_host"/ 2>/dev/null

run command_fuzz "$seeds_cmd"
run card_fuzz "$seeds_card"
run plan_fuzz "$seeds_plan"
run host_fuzz "$seeds_host"
exit $status
