#!/usr/bin/env bash
# Figures for distance-field sheets: whole-process time of a 20-point field sheet against the
# coverage sheet, of an 11-character caption at --scale 4 against --scale 1, and the sheets' bytes
# with and without PNG row filters. Not a test.
set -euo pipefail
. "$(dirname "$0")/bench-lib.sh" sdf "${1:-}"
pairs=${PAIRS:-11}

# Runs A and B alternately, 2 warm-up pairs then $pairs measured; prints both medians and the median ratio.
paired() {
  local label=$1 a b i; shift
  local -a first second ratio
  IFS='|' read -r -a cmd_a <<<"$1"; IFS='|' read -r -a cmd_b <<<"$2"
  for ((i = 0; i < pairs + 2; i++)); do
    timed "${cmd_a[@]}"; a=$us
    timed "${cmd_b[@]}"; b=$us
    ((i < 2)) && continue
    first+=("$a") second+=("$b") ratio+=("$a:$b")
  done
  printf '%-44s %9s %9s %7s\n' "$label" "$(med_ms "${first[@]}")" "$(med_ms "${second[@]}")" "$(med_ratio "${ratio[@]}")"
}

echo "kilnbatch: $kiln"
echo "Whole process, $pairs measured pairs after 2 warm-up pairs (A B A B ...), medians"
printf '%-44s %9s %9s %7s\n' "A against B" A-ms B-ms A/B
paired "field sheet --sdf 4 / coverage sheet, 20 pt" \
  "$kiln|sheet|--size|20|--sdf|4|-o|field.png" "$kiln|sheet|--size|20|--descriptor|text|-o|cover.png"
text="Hello World"
paired "caption --scale 4 / --scale 1, 11 characters" \
  "$kiln|caption|--layout|proportional|--sheet|field.png|--text|$text|--scale|4|-o|c4.png" \
  "$kiln|caption|--layout|proportional|--sheet|field.png|--text|$text|--scale|1|-o|c1.png"

echo
echo "Bytes: as written, then the same rows deflated at level 6 unfiltered and with libpng's"
echo "filter choice (the least sum of absolute differences a row)"
python3 - field.png cover.png <<'PY'
import struct, sys, zlib

def rows_of(path):
    data, at, idat = open(path, "rb").read(), 8, b""
    while at < len(data):
        n, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + n]
        at += 12 + n
        if kind == b"IHDR":
            width, height, _, colour = struct.unpack(">IIBB", body[:10])
        elif kind == b"IDAT":
            idat += body
    bpp = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[colour]
    raw, stride, rows, prev = zlib.decompress(idat), width * bpp, [], bytearray(width * bpp)
    for y in range(height):
        kind, row = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for x in range(stride):
            a, b, c = row[x - bpp] if x >= bpp else 0, prev[x], prev[x - bpp] if x >= bpp else 0
            row[x] = (row[x] + predict(kind, a, b, c)) & 255
        rows.append(row)
        prev = row
    return rows, bpp

def predict(kind, a, b, c):
    if kind == 4:
        p, q, r = abs(b - c), abs(a - c), abs(a + b - 2 * c)
        return a if p <= q and p <= r else (b if q <= r else c)
    return (0, a, b, (a + b) // 2)[kind]

def deflated(rows, bpp, filtered):
    out, prev = bytearray(), bytearray(len(rows[0]))
    for row in rows:
        best = None
        for kind in range(5) if filtered else (0,):
            line = bytearray((row[x] - predict(kind, row[x - bpp] if x >= bpp else 0, prev[x],
                                                prev[x - bpp] if x >= bpp else 0)) & 255 for x in range(len(row)))
            cost = sum(v if v < 128 else 256 - v for v in line)
            if best is None or cost < best[0]:
                best = (cost, kind, line)
        out += bytes([best[1]]) + best[2]
        prev = row
    z = zlib.compressobj(6, zlib.DEFLATED, 15, 8, zlib.Z_FILTERED if filtered else zlib.Z_DEFAULT_STRATEGY)
    return len(z.compress(bytes(out)) + z.flush())

import os
print(f"{'sheet':<10} {'written':>9} {'unfiltered':>11} {'filtered':>9}")
sizes = {}
for path in sys.argv[1:]:
    rows, bpp = rows_of(path)
    sizes[path] = (os.path.getsize(path), deflated(rows, bpp, False), deflated(rows, bpp, True))
    print(f"{path:<10} {sizes[path][0]:>9} {sizes[path][1]:>11} {sizes[path][2]:>9}")
field, cover = sizes[sys.argv[1]], sizes[sys.argv[2]]
print(f"field / coverage as written: {field[0] / cover[0]:.2f}; filters make the field "
      f"{field[2] / field[1]:.2f} times, the coverage sheet {cover[2] / cover[1]:.2f} times as large")
PY
