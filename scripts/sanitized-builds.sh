# Sourced by build.sh and fuzz.sh: the two sanitized host builds, made with
# clang. host-asan holds the unit and archive tests under AddressSanitizer
# and UndefinedBehaviorSanitizer, and the libFuzzer targets; host-tsan holds
# the same tests under ThreadSanitizer, for the code that runs threads (the
# start-up worker, the archive workers).
# Needs REPO and BUILD_ROOT; JOBS defaults to 2.

sanitized_configure() {  # folder sanitizers fuzzing(ON|OFF)
  cmake -S "$REPO" -B "$1" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DSANITIZE="$2" -DFUZZING="$3" >/dev/null
}

# The fuzz targets, one per tests/fuzz/<name>_fuzz.cpp.
fuzz_targets() {
  local src name
  for src in "$REPO"/tests/fuzz/*_fuzz.cpp; do
    name=$(basename "$src" _fuzz.cpp)
    printf 'fuzz_%s\n' "$name"
  done
}

build_host_asan() {
  sanitized_configure "$BUILD_ROOT/host-asan" address,undefined ON
  # shellcheck disable=SC2046
  cmake --build "$BUILD_ROOT/host-asan" -j "${JOBS:-2}" --target unit_tests archive_tests $(fuzz_targets)
}

build_host_tsan() {
  sanitized_configure "$BUILD_ROOT/host-tsan" thread OFF
  cmake --build "$BUILD_ROOT/host-tsan" -j "${JOBS:-2}" --target unit_tests archive_tests
}
