#!/usr/bin/env bash
# Figures for the sheet's effects: whole-process time of a 20-point sheet with an outline, a
# gradient and a blurred shadow against the same sheet without them. Not a test.
set -euo pipefail
. "$(dirname "$0")/bench-lib.sh" effects "${1:-}"
pairs=${PAIRS:-21}

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
