#!/bin/bash
# The subsystems include downward only: shell <- input <- script <- pnp <- app, with sim beside
# pnp behind the port seam (it may see pnp's port and register headers and the resource data
# format, and pnp never sees sim).
# Prints every include that climbs, and fails when there is one.
set -u
top="$(cd "$(dirname "$0")/.." && pwd)"
cd "$top"
rank() {
  case "$1" in
    shell) echo 0 ;; input) echo 1 ;; script) echo 2 ;; pnp) echo 3 ;; sim) echo 3 ;; app) echo 4 ;; *) echo 9 ;;
  esac
}
bad=0
for f in shell/* input/* script/* pnp/* sim/* app/*; do
  from="${f%%/*}"
  while IFS= read -r header; do
    to="${header%%/*}"
    [ "$to" = "$from" ] && continue
    ok=1
    [ "$(rank "$to")" -gt "$(rank "$from")" ] && ok=0
    if [ "$from" = sim ] && [ "$to" = pnp ]; then
      case "$header" in pnp/ports.h|pnp/registers.h|pnp/resource_items.h) ;; *) ok=0 ;; esac
    fi
    [ "$from" = pnp ] && [ "$to" = sim ] && ok=0
    if [ $ok = 0 ]; then echo "$f includes $header"; bad=1; fi
  done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$f")
done
exit $bad
