#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test: the normal build,
# the same tests under AddressSanitizer and UndefinedBehaviorSanitizer, and a
# bounded fuzzing run of the BMP, PNG and font descriptor readers.
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

# The fuzzing budget is shared: half to BMP, a quarter each to PNG and the
# font descriptors, at least 1 s each.
share() { echo $(( fuzz_seconds * $1 / 4 > 0 ? fuzz_seconds * $1 / 4 : 1 )); }
bmp_seconds=$(share 2)
png_seconds=$(share 1)
descriptor_seconds=$(share 1)
echo "== fuzz the BMP reader for ${bmp_seconds} s, the PNG reader for ${png_seconds} s and the font descriptor reader for ${descriptor_seconds} s"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs" --target bmp_decode_fuzzer png_decode_fuzzer descriptor_fuzzer
corpus=$root/build-fuzz/corpus
png_corpus=$root/build-fuzz/corpus-png
descriptor_corpus=$root/build-fuzz/corpus-descriptor
mkdir -p "$corpus" "$png_corpus" "$descriptor_corpus"
suite=$root/raster/tests/bmpsuite
if [[ -d "$suite" ]]; then
  cp -n "$suite"/g/*.bmp "$suite"/q/*.bmp "$suite"/b/*.bmp "$corpus"/ 2>/dev/null || true
fi
python3 scripts/png_seeds.py "$png_corpus"
python3 scripts/descriptor_seeds.py "$descriptor_corpus"
chmod -R u+w "$corpus" "$png_corpus" "$descriptor_corpus"
fuzz() {  # target under build-fuzz, seconds, corpus
  "$root/build-fuzz/$1" -max_total_time="$2" -timeout=10 \
    -rss_limit_mb=3072 -print_final_stats=1 "$3" 2>&1 | tail -n 25
}
fuzz raster/bmp_decode_fuzzer "$bmp_seconds" "$corpus"
fuzz raster/png_decode_fuzzer "$png_seconds" "$png_corpus"
fuzz core/descriptor_fuzzer "$descriptor_seconds" "$descriptor_corpus"
echo "fuzz: no crash in ${bmp_seconds} s of BMP, ${png_seconds} s of PNG and ${descriptor_seconds} s of font descriptors"
