#!/usr/bin/env bash
# Mutation check: applies each mutation of scripts/mutations.txt alone,
# rebuilds the host unit and archive tests in build/mutate, runs them, and
# counts the mutation as killed when a test fails (or the build does),
# survived when every test still passes. Prints the score and the
# survivors. Slow (one rebuild per mutation), so not part of the test run.
# Usage: scripts/mutate.sh [list file]
# It works on a copy of the last commit (build/mutate/src), so the work
# tree and its builds are never touched while it runs.
set -euo pipefail
REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
LIST=$(cd "$(dirname "${1:-$REPO/scripts/mutations.txt}")" && pwd)/$(basename "${1:-mutations.txt}")
ROOT=${MUTATE_BUILD:-$REPO/build/mutate}
SRC=$ROOT/src
BUILD=$ROOT/build
rm -rf "$SRC"
mkdir -p "$SRC" "$BUILD"
git -C "$REPO" archive HEAD | tar -x -C "$SRC"
cd "$SRC"

build() { cmake --build "$BUILD" -j "${JOBS:-2}" --target unit_tests archive_tests >"$BUILD/last-build.log" 2>&1; }
tests_pass() {
  timeout 180 "$BUILD/tests/unit/unit_tests" --gtest_brief=1 >"$BUILD/last-run.log" 2>&1 &&
    timeout 180 "$BUILD/tests/archive/archive_tests" --gtest_brief=1 >>"$BUILD/last-run.log" 2>&1
}
restore() {  # file
  git -C "$REPO" show "HEAD:$1" >"$SRC/$1"
}

cmake -S "$SRC" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
build || { echo "mutate.sh: the unmutated build fails" >&2; exit 2; }
tests_pass || { echo "mutate.sh: the unmutated tests fail" >&2; exit 2; }

killed=0 survived=0 invalid=0 n=0
survivors=()
while IFS= read -r line; do
  [[ -z "$line" || "$line" == \#* ]] && continue
  n=$((n + 1))
  file=${line%% @@ *}
  what=${line##* @@ }
  if ! python3 - "$file" "$line" <<'PY'
import sys
path, line = sys.argv[1], sys.argv[2]
parts = line.split(" @@ ")
old, new = parts[1].replace("\\n", "\n"), parts[2].replace("\\n", "\n")
if new == "(delete)":
    new = ""
text = open(path).read()
if text.count(old) != 1:
    sys.exit(1)
open(path, "w").write(text.replace(old, new))
PY
  then
    echo "  [$n] NOT APPLIED ($file): $what"
    invalid=$((invalid + 1))
    continue
  fi
  if ! build; then
    result="killed (does not build)"
    killed=$((killed + 1))
  elif tests_pass; then
    result=SURVIVED
    survived=$((survived + 1))
    survivors+=("$file: $what")
  else
    result=killed
    killed=$((killed + 1))
  fi
  echo "  [$n] $result: $file: $what"
  restore "$file"
done <"$LIST"

total=$((killed + survived))
echo "== mutation score: $killed of $total killed ($(( total ? killed * 100 / total : 0 ))%), $invalid not applied"
if [ ${#survivors[@]} -gt 0 ]; then
  echo "== survivors:"
  printf '  %s\n' "${survivors[@]}"
fi
