# What the bench scripts share: the kilnbatch measured, a scratch folder in memory, and the
# timing of one run and the medians of paired runs. Sourced as `. bench-lib.sh NAME [KILNBATCH]`.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
kiln=$(realpath "${2:-$root/build/kilnbatch/kilnbatch}")
[[ -x $kiln ]] || { echo "no kilnbatch at $kiln" >&2; exit 2; }
work=$(mktemp -d "/dev/shm/bench-$1.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

# Wall time of one run in microseconds into $us (and, with measure_memory=1, its peak memory in
# KiB into $kib); its standard output kept in out.txt, its standard error in err.txt.
us=0 kib=0 measure_memory=${measure_memory:-0}
timed() {
  local t0 t1 memory=()
  ((measure_memory)) && memory=(/usr/bin/time -f %M -o mem.txt)
  t0=$(date +%s%N)
  "${memory[@]}" "$@" >out.txt 2>err.txt || { echo "failed: $*" >&2; cat err.txt >&2; exit 1; }
  t1=$(date +%s%N)
  us=$(((t1 - t0) / 1000))
  ((measure_memory)) && kib=$(cat mem.txt)
  return 0
}
# The median of microsecond figures, printed in ms with ${digits:-1} decimals.
med_ms() { python3 -c 'import sys,statistics as s; print(f"{s.median(map(int,sys.argv[2:]))/1000:.{sys.argv[1]}f}")' "${digits:-1}" "$@"; }
# The median of per-pair ratios: the arguments are "a:b" pairs.
med_ratio() { python3 -c 'import sys,statistics as s; print("%.2f" % s.median(int(a) / int(b) for a, b in (x.split(":") for x in sys.argv[1:])))' "$@"; }
