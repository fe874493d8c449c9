#!/usr/bin/env bash
# Configures and builds the host build and the Windows builds. Sourced
# settings come from wine-env.sh: WIN_ARCH is the Windows build that runs
# under this machine's Wine; the 32-bit product is always built as well.
set -euo pipefail
REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$REPO/scripts/wine-env.sh"
source "$REPO/scripts/sanitized-builds.sh"
JOBS=${JOBS:-$(nproc)}

configure_and_build() {  # folder [cmake arguments...] [-- targets...]
  local dir=$1 options=() targets=()
  shift
  while [ $# -gt 0 ] && [ "$1" != -- ]; do options+=("$1"); shift; done
  if [ $# -gt 0 ]; then shift; targets=(--target "$@"); fi
  # Configuring again is cheap and picks up a changed Windows build folder.
  cmake -S "$REPO" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release "${options[@]}" >/dev/null
  cmake --build "$dir" -j "$JOBS" "${targets[@]}"
}

# The demonstration (scripts/run.sh) needs only the 32-bit product, its
# archive library, the automation program, the answering stand-in and the
# sample package with its language monitor: no tests, no sanitizers.
if [ "${1:-}" = demo ]; then
  configure_and_build "$WIN_BUILD_DIR" -DCMAKE_TOOLCHAIN_FILE="$REPO/cmake/mingw-$WIN_ARCH.cmake" \
    -- DriverInstaller sevenzip_dll automate answering_spooler language_monitor
  configure_and_build "$BUILD_ROOT/host" -DWINDOWS_BUILD_DIR="$WIN_BUILD_DIR" -- sample_package
  exit 0
fi

# Windows first: the host build's sample package takes its language monitor
# from the 32-bit Windows build.
configure_and_build "$WIN_BUILD_DIR" -DCMAKE_TOOLCHAIN_FILE="$REPO/cmake/mingw-$WIN_ARCH.cmake"
if [ "$WIN_ARCH" != i686 ]; then
  configure_and_build "$BUILD_ROOT/win-i686" -DCMAKE_TOOLCHAIN_FILE="$REPO/cmake/mingw-i686.cmake"
fi
configure_and_build "$BUILD_ROOT/host" -DWINDOWS_BUILD_DIR="$WIN_BUILD_DIR" \
  -DSANITIZED_BUILD_ROOT="$BUILD_ROOT"
# The host build's test list runs what these two build.
build_host_asan
build_host_tsan
