#!/usr/bin/env bash
# Figures for the sheet's effects: whole-process time of a 20-point sheet with an outline, a
# gradient and a blurred shadow against the same sheet without them. Not a test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
kiln=$(realpath "${1:-$root/build/kilnbatch/kilnbatch}")
[[ -x $kiln ]] || { echo "no kilnbatch at $kiln" >&2; exit 2; }
pairs=${PAIRS:-21}
work=$(mktemp -d /dev/shm/bench-effects.XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"

# Wall time of one run in microseconds into $us.
us=0
timed() {
  local t0 t1
  t0=$(date +%s%N)
  "$@" >out.txt 2>err.txt || { echo "failed: $*" >&2; cat err.txt >&2; exit 1; }
  t1=$(date +%s%N)
  us=$(((t1 - t0) / 1000))
}
med_ms() { python3 -c 'import sys,statistics as s; print(f"{s.median(map(int,sys.argv[1:]))/1000:.1f}")' "$@"; }
med_ratio() { python3 -c 'import sys,statistics as s; print("%.2f" % s.median(int(a) / int(b) for a, b in (x.split(":") for x in sys.argv[1:])))' "$@"; }

plain=(sheet --size 20 --shadow -o plain.png)
effects=(sheet --size 20 --shadow --outline 2 --gradient FFE080,C06000 --shadow-blur 4 -o effects.png)
echo "kilnbatch: $kiln"
echo "kilnbatch ${effects[*]}"
echo "  against kilnbatch ${plain[*]}"
echo "$pairs measured pairs after 2 warm-up pairs (A B A B ...), whole process"
a=() b=() ratio=()
for ((i = 0; i < pairs + 2; i++)); do
  timed "$kiln" "${effects[@]}"; x=$us
  timed "$kiln" "${plain[@]}"; y=$us
  ((i < 2)) && continue
  a+=("$x") b+=("$y") ratio+=("$x:$y")
done
printf '%-10s %9s\n' sheet median-ms
printf '%-10s %9s\n' effects "$(med_ms "${a[@]}")" plain "$(med_ms "${b[@]}")"
printf 'median ratio effects/plain: %s (target at most 2)\n' "$(med_ratio "${ratio[@]}")"
