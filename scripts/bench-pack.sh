#!/usr/bin/env bash
# Figures for `kilnbatch sheet --pack`: texture per glyph against the lower bound of the packed
# boxes, then time and peak memory of packed pages against the fitted grid of the same
# characters, in paired runs (A B A B ...). Not a test.
set -euo pipefail
measure_memory=1 digits=0
. "$(dirname "$0")/bench-lib.sh" pack "${1:-}"
fc-list | grep -q "Droid Sans Fallback" || { echo "needs fonts-droid-fallback (scripts/install-deps.sh)" >&2; exit 2; }
pairs=${PAIRS:-11} bigpairs=${BIG_PAIRS:-5}
max_mib() { python3 -c 'import sys; print(f"{max(map(int,sys.argv[1:]))/1024:.1f}")' "$@"; }

# Pages' area per glyph of a text descriptor, and the sum of the packed rectangles (ink + 2P + S) per glyph.
per_glyph() {
  python3 - "$1" "$2" "$3" <<'EOF2'
import re, sys
text, pad, spacing = open(sys.argv[1]).read(), int(sys.argv[2]), int(sys.argv[3])
num = lambda key: int(re.search(r"\b%s=(\d+)" % key, text).group(1))
boxes = [(int(w), int(h)) for w, h in re.findall(r"^char id=\d+ +x=\d+ +y=\d+ +width=(\d+) +height=(\d+)", text, re.M)]
area = num("scaleW") * num("scaleH") * num("pages")
bound = sum((w + 2 * pad + spacing) * (h + 2 * pad + spacing) for w, h in boxes if w and h)
print(f"{len(boxes):6d} {num('pages'):5d} {num('scaleW'):5d}x{num('scaleH'):<5d} {area / len(boxes):8.0f} {bound / len(boxes):8.0f} {area / bound:6.3f}")
EOF2
}

echo "kilnbatch: $kiln"
echo "Texture per glyph, --pack --padding 1 --spacing 0 (pages' area / glyphs; bound: packed boxes' area / glyphs)"
printf '%-28s %6s %5s %-11s %8s %8s %6s %7s\n' case glyphs pages page ours bound ratio target
texture() {
  local name=$1 target=$2; shift 2
  "$kiln" sheet --pack --padding 1 --spacing 0 "$@" -o t.png >/dev/null
  printf '%-28s %s %7s\n' "$name" "$(per_glyph t.fnt 1 0)" "$target"
}
texture arial-ascii-8 77 --font Arial --size 8
texture arial-ascii-20 310 --font Arial --size 20
texture arial-ascii-40 1242 --font Arial --size 40
texture droid-2000-24 944 --font "Droid Sans Fallback" --size 24 --chars 0x4E00-0x55CF

droid=(--font "Droid Sans Fallback" --size 24)
# A against B in paired runs after one warm-up pair: median times, their median ratio, peak memory.
compare() {
  local n=$1 label=$2; shift 2
  local -a a b
  local split
  for ((split = 1; split <= $#; split++)); do [[ ${!split} == "--" ]] && break; done
  a=("${@:1:split-1}") b=("${@:split+1}")
  local ta=() tb=() ratio=() ma=() mb=()
  for ((i = 0; i < n + 1; i++)); do
    timed "${a[@]}"; local x=$us; ((i > 0)) && ma+=("$kib")
    [[ $i -eq 0 ]] && head -1 out.txt > a-report.txt
    timed "${b[@]}"; local y=$us; ((i > 0)) && mb+=("$kib")
    ((i == 0)) && continue
    ta+=("$x") tb+=("$y") ratio+=("$x:$y")
  done
  printf '%-34s %8s %8s %6s %9s %9s  %s\n' "$label" "$(med_ms "${ta[@]}")" "$(med_ms "${tb[@]}")" \
    "$(med_ratio "${ratio[@]}")" "$(max_mib "${ma[@]}")" "$(max_mib "${mb[@]}")" "$(cat a-report.txt)"
}
echo
echo "Time (median of paired runs, whole process) and peak memory (max RSS), packed against fitted grid"
printf '%-34s %8s %8s %6s %9s %9s  %s\n' case pack-ms grid-ms ratio pack-MiB grid-MiB pack-report
compare "$bigpairs" "16,000 (U+4E00-U+8C7F), --columns 126" \
  "$kiln" sheet "${droid[@]}" --chars 0x4E00-0x8C7F --transparent --pack -o p.png -- \
  "$kiln" sheet "${droid[@]}" --chars 0x4E00-0x8C7F --transparent --fit --columns 126 -o g.png
compare "$pairs" "2,000 (U+4E00-U+55CF)" \
  "$kiln" sheet "${droid[@]}" --chars 0x4E00-0x55CF --pack -o p.png -- \
  "$kiln" sheet "${droid[@]}" --chars 0x4E00-0x55CF --fit -o g.png
compare "$pairs" "2,000, grid with --descriptor text" \
  "$kiln" sheet "${droid[@]}" --chars 0x4E00-0x55CF --pack -o p.png -- \
  "$kiln" sheet "${droid[@]}" --chars 0x4E00-0x55CF --fit --descriptor text -o g.png
echo "targets: 16,000 at most 1.2x the grid's time and 64 MiB; 2,000 at most 1.3x"
