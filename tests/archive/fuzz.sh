#!/usr/bin/env bash
# Fuzzes the archive engine for a while (default 120 s) with libFuzzer,
# AddressSanitizer and UBSan, starting from archives made by zip and 7z.
# Usage: tests/archive/fuzz.sh [seconds]
set -euo pipefail
REPO=$(cd "$(dirname "$0")/../.." && pwd)
OUT=${FUZZ_DIR:-$REPO/build/fuzz}
mkdir -p "$OUT/corpus" "$OUT/seed"
clang++ -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined \
  -I"$REPO/src/archive" -I"$REPO/tests/archive" \
  "$REPO/tests/archive/fuzz_extract.cpp" "$REPO"/src/archive/{command_line,extract,run_command,safe_path,zip_reader}.cpp \
  -lz -o "$OUT/fuzz_extract"
if [ -z "$(ls -A "$OUT/corpus")" ]; then
  (cd "$OUT/seed" && printf 'hello hello hello\n' >a.txt && mkdir -p d && printf 'x%.0s' $(seq 300) >d/b.txt &&
   zip -q -r "$OUT/corpus/deflate.zip" a.txt d && zip -q -0 -r "$OUT/corpus/stored.zip" a.txt d &&
   7z a -tzip "$OUT/corpus/7z.zip" a.txt d >/dev/null)
fi
"$OUT/fuzz_extract" -max_total_time="${1:-120}" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
  -artifact_prefix="$OUT/" "$OUT/corpus"
