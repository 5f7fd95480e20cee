#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test: the normal build,
# the same tests under AddressSanitizer and UndefinedBehaviorSanitizer, and a
# bounded fuzzing run of the BMP reader.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc 2>/dev/null || echo 2)
fuzz_seconds=${KILN_FUZZ_SECONDS:-60}

bash scripts/install-deps.sh

echo "== build and test (warnings are errors)"
cmake --preset ci >/dev/null
cmake --build --preset ci -j "$jobs"
ctest --preset ci -j "$jobs"

echo "== build and test with AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize -j "$jobs"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$root/scripts/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --preset sanitize -j "$jobs"

echo "== fuzz the BMP reader for ${fuzz_seconds} s"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs" --target bmp_decode_fuzzer
corpus=$root/build-fuzz/corpus
mkdir -p "$corpus"
suite=$root/../shared/bmpsuite
if [[ -d "$suite" ]]; then
  cp -n "$suite"/g/*.bmp "$suite"/q/*.bmp "$suite"/b/*.bmp "$corpus"/ 2>/dev/null || true
fi
chmod -R u+w "$corpus"
"$root/build-fuzz/raster/bmp_decode_fuzzer" -max_total_time="$fuzz_seconds" -timeout=10 \
  -rss_limit_mb=3072 -print_final_stats=1 "$corpus" 2>&1 | tail -n 25
echo "fuzz: no crash in ${fuzz_seconds} s"
