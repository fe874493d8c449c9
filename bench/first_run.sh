#!/usr/bin/env bash
# Times the phases of a first run of the demonstration (scripts/run.sh) on
# a machine whose packages are installed, in a build folder of its own that
# starts empty: configuring, building, making the booted Wine prefix and
# its copy, and the demonstration itself. Prints each phase with its share
# of the whole, the build's share among them.
#   bash bench/first_run.sh
set -euo pipefail
REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$REPO/scripts/i386.sh"
i386_reexec "$REPO/bench/first_run.sh" "$@"
export BUILD_ROOT=${FIRST_RUN_ROOT:-$REPO/build/first-run}
rm -rf "$BUILD_ROOT"
mkdir -p "$BUILD_ROOT"
source "$REPO/scripts/wine-env.sh"
now() { echo "$EPOCHREALTIME"; }
calc() { awk "BEGIN { printf \"%.3f\", $1 }"; }
declare -A took=()
phase() {  # name, command...
  local name=$1 start
  shift
  start=$(now)
  "$@" >"$BUILD_ROOT/$name.log" 2>&1 || { echo "$name failed; see $BUILD_ROOT/$name.log" >&2; exit 1; }
  took[$name]=$(calc "$(now) - $start")
}
win=$WIN_BUILD_DIR host=$BUILD_ROOT/host
phase configure bash -c "
  cmake -S '$REPO' -B '$win' -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE='$REPO/cmake/mingw-$WIN_ARCH.cmake' &&
  cmake -S '$REPO' -B '$host' -G Ninja -DCMAKE_BUILD_TYPE=Release -DWINDOWS_BUILD_DIR='$win'"
# The build as run.sh makes it (configuring again is a no-op now).
phase build bash "$REPO/scripts/build.sh" demo
phase prefix bash -c "source '$REPO/scripts/wine-env.sh'; wine_prefix_ready"
phase demonstration env BUILD_ROOT="$BUILD_ROOT" bash "$REPO/scripts/run.sh"
total=$(calc "${took[configure]} + ${took[build]} + ${took[prefix]} + ${took[demonstration]}")
echo "== first run of the demonstration ($WIN_ARCH build, 32-bit programs: $I386_MODE, $(nproc) cores)"
for name in configure build prefix demonstration; do
  printf '%-14s %7.1f s  %5.1f %%\n' "$name" "${took[$name]}" "$(calc "100 * ${took[$name]} / $total")"
done
printf '%-14s %7.1f s\n' total "$total"
printf 'the build (configure and compile) is %.0f %% of the first run\n' \
  "$(calc "100 * (${took[configure]} + ${took[build]}) / $total")"
