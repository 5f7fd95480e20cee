#!/usr/bin/env bash
# Figures for `kilnbatch sheet`: whole-process time and file size of PNG against BMP at three sizes,
# then time, peak memory and sheet size of the larger character sets at 32 pixels. Not a test.
set -euo pipefail
. "$(dirname "$0")/bench-lib.sh" sheets "${1:-}"
pairs=${PAIRS:-11} runs=${RUNS:-5}
cell_of() { sed -n 's/^cell \([0-9]*\), sheet \([0-9x]*\)$/\1 \2/p' out.txt; }

echo "kilnbatch: $kiln"
echo "PNG against BMP, whole process, $pairs measured pairs after 2 warm-up pairs (A B A B ...)"
printf '%-5s %-6s %-5s %9s %9s %9s %10s %9s %8s\n' size px cell png-ms bmp-ms png/bmp png-bytes bmp-bytes size-x
for size in 8 40 72; do
  png=() bmp=() ratio=() tpng=()
  for ((i = 0; i < pairs + 2; i++)); do
    timed "$kiln" sheet --size "$size" -o x.png; a=$us
    timed "$kiln" sheet --size "$size" -o x.bmp; b=$us
    # the transparent PNG rides along at size 40 so it meets the same machine state
    if ((size == 40)); then timed "$kiln" sheet --size 40 --transparent -o t.png; c=$us; fi
    ((i < 2)) && continue
    png+=("$a") bmp+=("$b") ratio+=("$a:$b")
    if ((size == 40)); then tpng+=("$c"); fi
  done
  read -r cell _ < <(cell_of)
  pb=$(stat -c %s x.png) bb=$(stat -c %s x.bmp)
  printf '%-5s %-6s %-5s %9s %9s %9s %10s %9s %8s\n' "$size" "$(((size * 96 + 36) / 72))" \
    "$cell" "$(med_ms "${png[@]}")" "$(med_ms "${bmp[@]}")" "$(med_ratio "${ratio[@]}")" "$pb" "$bb" \
    "$(python3 -c "print(f'{$pb/$bb:.3f}')")"
  if ((size == 40)); then tsize40=("$(med_ms "${tpng[@]}")" "$(stat -c %s t.png)"); fi
done
printf 'transparent PNG, size 40: median %s ms, %s bytes\n' "${tsize40[@]}"

# Ranges Liberation Sans mostly covers: Latin, Latin Extended-A and -B, Greek, Cyrillic, Latin Extended Additional.
ranges=0x20-0x7E,0xA0-0x17F,0x180-0x24F,0x370-0x3FF,0x400-0x4FF,0x1E00-0x1E4F
# Characters each sheet asks for, control codes left out; windows-1252 counts only defined codes.
count_chars() {
  python3 - "$1" "$ranges" <<'EOF'
import sys, unicodedata as u
mode, ranges = sys.argv[1], sys.argv[2]
if mode == "ascii": cps = range(0x20, 0x7F)
elif mode == "w1252":
    cps = []
    for b in range(0x20, 0x100):
        try: cps.append(ord(bytes([b]).decode("cp1252")))
        except UnicodeDecodeError: pass
else:
    cps = [c for r in ranges.split(",") for lo, hi in [[int(x, 16) for x in (r.split("-") * 2)[:2]]]
           for c in range(lo, hi + 1)]
print(sum(1 for c in cps if u.category(chr(c)) != "Cc"))
EOF
}
declare -A args=([ascii]="" [w1252]="--charset windows-1252" [chars]="--chars $ranges")
declare -A times mem sheet missing
names=(ascii w1252 chars)
echo
echo "Character sets at 32 pixels (--size 24 --fit), $runs measured rounds after 1 warm-up, interleaved"
for ((i = 0; i < runs + 1; i++)); do
  for n in "${names[@]}"; do
    # shellcheck disable=SC2086  # the options are meant to split
    timed /usr/bin/time -f %M -o mem.txt "$kiln" sheet --size 24 --fit ${args[$n]} -o "$n.png"
    sheet[$n]=$(cell_of)
    missing[$n]=$({ grep -o 'U+[0-9A-F]*' err.txt || true; } | wc -l)
    ((i == 0)) && continue
    times[$n]+=" $us"
    m=$(cat mem.txt)
    if ((m > ${mem[$n]:-0})); then mem[$n]=$m; fi
  done
done
printf '%-7s %6s %8s %5s %-10s %9s %9s %10s\n' sheet chars no-glyph cell size median-ms peak-MiB png-bytes
for n in "${names[@]}"; do
  read -r cell wh <<<"${sheet[$n]}"
  # shellcheck disable=SC2086
  printf '%-7s %6s %8s %5s %-10s %9s %9s %10s\n' "$n" "$(count_chars "$n")" "${missing[$n]}" "$cell" "$wh" \
    "$(med_ms ${times[$n]})" "$(python3 -c "print(f'{${mem[$n]}/1024:.1f}')")" "$(stat -c %s "$n.png")"
done
