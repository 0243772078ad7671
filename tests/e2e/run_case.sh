#!/bin/bash
# Runs one end-to-end case: the program on NAME.pnp with stdin from /dev/null, its standard output
# compared byte for byte with NAME.out. A case given as NAME.args instead runs the program with
# those words alone (a run without command files, such as --list). Optional beside it:
#   NAME.args   the command-line words before the command file ($DIR = here);
#               without it the case runs with --sim, so that no case depends on port permission
#   NAME.env    environment assignments, one per line
#   NAME.status the expected exit status (default 0)
#   NAME.after  shell commands run in the case's directory after the program, their standard
#               output compared after the program's: the files a run writes (a FILE report)
#
# run_case.sh PROGRAM CASE            runs the case on the simulated bus.
# run_case.sh PROGRAM CASE TRAP       runs it on the hardware bus as well, under the port trap
#                                     TRAP with the same cards: the bus options (--sim, --card)
#                                     go to the trap, the rest to the program. Standard output
#                                     and status must match NAME.out, and the --trace file the
#                                     case writes must be the same on both buses. Exits 77
#                                     (skipped) where tracing is not possible.
set -u
bin="$1"; case="$2"; trap_bin="${3:-}"
dir="$(cd "$(dirname "$case")" && pwd)"; name="$(basename "$case" .pnp)"; name="${name%.args}"
command_file=("$case")
[ "${case%.args}" != "$case" ] && command_file=()
DIR="$dir"
args=(--sim)
[ -f "$dir/$name.args" ] && eval "args=($(cat "$dir/$name.args"))"
envs=()
[ -f "$dir/$name.env" ] && mapfile -t envs < "$dir/$name.env"
want_status=0
[ -f "$dir/$name.status" ] && want_status=$(cat "$dir/$name.status")
work="$(mktemp -d)"; trap 'rm -rf "$work"' EXIT

# run_in DIR COMMAND...: the case in a fresh directory DIR, its output in DIR/out and DIR/err.
# Files the cases include with @ or read with FILE/SHELL lie in files/, copied beside them.
# Then NAME.after, when there is one; the status is the program's.
run_in() {
  local at="$1"; shift
  mkdir -p "$at"
  [ -d "$dir/files" ] && cp -r "$dir/files/." "$at/"
  (cd "$at" && env "${envs[@]+"${envs[@]}"}" "$@" "${command_file[@]+"${command_file[@]}"}" </dev/null >"$at/out" 2>"$at/err")
  local status=$?
  [ -f "$dir/$name.after" ] && (cd "$at" && bash "$dir/$name.after" </dev/null >>"$at/out" 2>>"$at/err")
  return $status
}

# check BUS DIR STATUS: standard output and status as the case expects.
ok=1
check() {
  if ! cmp -s "$2/out" "$dir/$name.out"; then
    echo "$1 bus: stdout differs from $name.out:"; diff -u "$dir/$name.out" "$2/out" | head -60; ok=0
  fi
  if [ "$3" != "$want_status" ]; then
    echo "$1 bus: exit status $3, expected $want_status"; cat "$2/err"; ok=0
  fi
}

run_in "$work/sim" "$bin" "${args[@]+"${args[@]}"}"
status=$?
check simulated "$work/sim" $status
if [ -n "$trap_bin" ]; then
  bus_args=(); own_args=(); traces=()
  for ((i = 0; i < ${#args[@]}; i++)); do
    a="${args[$i]}"
    case "$a" in
      -s|--sim) bus_args+=(--sim) ;;
      -c|--card) bus_args+=(--card "${args[$((i + 1))]}"); i=$((i + 1)) ;;
      --card=*) bus_args+=(--card "${a#--card=}") ;;
      -t|--trace) traces+=("${args[$((i + 1))]}"); own_args+=("$a") ;;
      --trace=*) traces+=("${a#--trace=}"); own_args+=("$a") ;;
      *) own_args+=("$a") ;;
    esac
  done
  # LeakSanitizer cannot stop a traced program to look for leaks: the simulated run checks them.
  export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
  run_in "$work/hw" "$trap_bin" "${bus_args[@]+"${bus_args[@]}"}" -- "$bin" "${own_args[@]+"${own_args[@]}"}"
  status=$?
  if [ $status = 4 ]; then
    echo "skipped: the port trap cannot trace here:"; cat "$work/hw/err"; exit 77
  fi
  check hardware "$work/hw" $status
  for f in "${traces[@]+"${traces[@]}"}"; do
    if ! cmp -s "$work/sim/$f" "$work/hw/$f"; then
      echo "hardware bus: the trace $f differs from the simulated bus's:"
      diff -u "$work/sim/$f" "$work/hw/$f" | head -40; ok=0
    fi
  done
fi
[ $ok = 1 ] && exit 0 || exit 1
