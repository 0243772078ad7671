#!/bin/bash
# Piped input against a command file: the same LINES lines (default 100000) of PRINT, once
# piped into the program's standard input and once run as a command file. Prints both wall
# times and their ratio; piped input is meant to stay within 2x of the file.
# Usage: bench/pipe_input.sh [PROGRAM] [LINES]
set -eu
prog="${1:-build/velkor}"; lines="${2:-100000}"
work="$(mktemp -d)"; trap 'rm -rf "$work"' EXIT
seq 1 "$lines" | sed 's/^/PRINT line /' > "$work/lines.pnp"
now() { date +%s.%N; }
best() {  # the best of three runs of "$@", in seconds
  local b=""
  for _ in 1 2 3; do
    local t0 t1; t0=$(now); "$@" > /dev/null; t1=$(now)
    b=$(echo "$t0 $t1 ${b:-1e9}" | awk '{d = $2 - $1; print (d < $3 ? d : $3)}')
  done
  echo "$b"
}
file=$(best "$prog" --sim "$work/lines.pnp" < /dev/null)
pipe=$(best sh -c "cat '$work/lines.pnp' | '$prog' --sim")
awk -v n="$lines" -v f="$file" -v p="$pipe" 'BEGIN {
  printf "%d lines: command file %.3f s, piped %.3f s\n", n, f, p
  printf "pipe: ratio %.2f\n", p / f }'
