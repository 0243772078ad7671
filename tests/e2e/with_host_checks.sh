#!/bin/bash
# Every end-to-end case again with the host checks on (VELKOR_SYSROOT naming a machine whose
# ports, IRQs, DMA channels and memory are busy and whose kernel manages ISA PnP cards): the
# warnings go to standard error, so standard output and the status stay those of NAME.out.
set -u
bin="$1"; top="$(cd "$(dirname "$0")/../.." && pwd)"
export VELKOR_SYSROOT="$top/tests/host/pc-sound"
failed=0
for case in "$top"/tests/e2e/*.pnp; do
  out="$("$top/tests/e2e/run_case.sh" "$bin" "$case" 2>&1)" || { echo "$(basename "$case"):"; echo "$out"; failed=1; }
done
exit $failed
