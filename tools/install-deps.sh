#!/bin/sh
# Installs the Debian packages the build and the tests need, when they are missing and we are
# root: one apt-get update, then one apt-get install of what is missing. With VELKOR_FUZZ_DEPS set,
# also what the fuzzers need. Exits 0 when nothing is missing, 1 when something is and we are not
# root.
set -e
missing=""
command -v make >/dev/null 2>&1 || missing="$missing make"
command -v cmake >/dev/null 2>&1 || missing="$missing cmake"
command -v g++ >/dev/null 2>&1 || missing="$missing g++"
[ -f /usr/include/readline/readline.h ] || missing="$missing libreadline-dev"
[ -f /usr/include/gtest/gtest.h ] || missing="$missing libgtest-dev"
[ -f /usr/include/glpk.h ] || missing="$missing libglpk-dev"       # the planner's solver
[ -f /usr/include/json-c/json.h ] || missing="$missing libjson-c-dev"  # --json output
[ -f /usr/share/hwdata/pnp.ids ] || missing="$missing hwdata"       # vendor names (read at run time)
command -v groff >/dev/null 2>&1 || missing="$missing groff-base"   # the manual page test
if [ -n "${VELKOR_FUZZ_DEPS:-}" ]; then
  command -v clang++ >/dev/null 2>&1 || missing="$missing clang"
  ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 || missing="$missing libclang-rt-dev"
fi
[ -z "$missing" ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages:$missing (run as root, or install them with apt-get)" >&2
  exit 1
fi
echo "Installing:$missing"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends $missing >/dev/null
