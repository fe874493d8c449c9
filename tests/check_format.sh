#!/usr/bin/env bash
# The C and C++ sources are as clang-format writes them with the project's
# .clang-format; `clang-format -i FILE` mends one that is not.
set -u
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || { echo "clang-format is missing (bash scripts/setup.sh installs it)"; exit 1; }
mapfile -t files < <(git ls-files 'src/*.cpp' 'src/*.h' 'src/*.c' 'tests/*.cpp' 'tests/*.h' 'tests/*.c' \
  'bench/*.cpp' 'bench/*.h' 2>/dev/null || find src tests bench -name '*.cpp' -o -name '*.h' -o -name '*.c')
clang-format --style=file --dry-run -Werror "${files[@]}" || exit 1
echo "${#files[@]} files formatted as .clang-format says"
