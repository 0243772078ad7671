#!/bin/bash
# Runs one end-to-end case: the program on NAME.pnp with stdin from /dev/null, its standard output
# compared byte for byte with NAME.out. Optional beside it:
#   NAME.args   the command-line words before the command file ($DIR = here);
#               without it the case runs with --sim, so that no case depends on port permission
#   NAME.env    environment assignments, one per line
#   NAME.status the expected exit status (default 0)
set -u
bin="$1"; case="$2"
dir="$(cd "$(dirname "$case")" && pwd)"; name="$(basename "$case" .pnp)"
DIR="$dir"
args=(--sim)
[ -f "$dir/$name.args" ] && eval "args=($(cat "$dir/$name.args"))"
envs=()
[ -f "$dir/$name.env" ] && mapfile -t envs < "$dir/$name.env"
want_status=0
[ -f "$dir/$name.status" ] && want_status=$(cat "$dir/$name.status")
work="$(mktemp -d)"; trap 'rm -rf "$work"' EXIT
cd "$work"
# Files the cases include with @ or read with FILE/SHELL lie in files/, copied beside them.
[ -d "$dir/files" ] && cp -r "$dir/files/." "$work/"
env "${envs[@]+"${envs[@]}"}" "$bin" "${args[@]+"${args[@]}"}" "$case" </dev/null >"$work/out" 2>"$work/err"
status=$?
ok=1
if ! cmp -s "$work/out" "$dir/$name.out"; then
  echo "stdout differs from $name.out:"; diff -u "$dir/$name.out" "$work/out" | head -60; ok=0
fi
if [ "$status" != "$want_status" ]; then
  echo "exit status $status, expected $want_status"; cat "$work/err"; ok=0
fi
[ $ok = 1 ] && exit 0 || exit 1
