#!/usr/bin/env bash
# Runs a test program of a sanitized build; the first finding fails it.
# Usage: run_sanitized.sh <program> [arguments...]
set -euo pipefail
program=$1; shift
if [ ! -x "$program" ]; then
  echo "missing $program: scripts/build.sh builds it (clang and libclang-rt-14-dev needed)" >&2
  exit 1
fi
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}
exec "$program" --gtest_brief=1 "$@"
