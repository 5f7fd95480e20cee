#!/usr/bin/env bash
# kilnbatch against its peers and floors, whole processes in /dev/shm: pairs run alternately
# (A B A B ...), 2 warm-up pairs then $PAIRS measured; prints the median of A, of B and of the
# per-pair ratios A/B. Not a test.
#   bench-peers.sh [KILNBATCH [BASELINE]]   BASELINE: an older kilnbatch for the big sheet's pair
# The start-up floor, a program that does nothing, is built with KILNBATCH's own compile and link
# options, read from its build folder (the folder above it, or $KILN_BUILD_DIR).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
kiln=$(realpath "${1:-$root/build/kilnbatch/kilnbatch}")
[[ -x $kiln ]] || { echo "no kilnbatch at $kiln" >&2; exit 2; }
base=${2:+$(realpath "$2")}
build=$(realpath "${KILN_BUILD_DIR:-$(dirname "$kiln")/..}")
for f in compile_commands.json kilnbatch/CMakeFiles/kilnbatch.dir/link.txt; do
  [[ -f $build/$f ]] || { echo "no $f in $build: give kilnbatch's build folder as KILN_BUILD_DIR" >&2; exit 2; }
done
pairs=${PAIRS:-11}

# Debian's ImageMagick and optipng, only when missing, as install-deps.sh installs packages.
missing=()
for p in imagemagick optipng; do
  [[ $(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true) == "install ok installed" ]] || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=()
  if [[ $(id -u) -ne 0 ]]; then
    command -v sudo >/dev/null || { echo "bench-peers: need root or sudo to install ${missing[*]}" >&2; exit 1; }
    sudo=(sudo)
  fi
  echo "bench-peers: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -q >/dev/null
  "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
fi
# The package's own program, whatever else is called convert earlier on the PATH.
im=/usr/bin/convert
[[ -x $im ]] || im=$(command -v convert-im6.q16)
font=/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf
[[ -f $font ]] || font=$(fc-match -f '%{file}' 'Liberation Sans')

work=$(mktemp -d /dev/shm/bench-peers.XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"

# pair NAME CMD_A CMD_B: each command a string split as the shell would (quote words with spaces
# inside it); each whole process timed on the monotonic clock, its output thrown away.
pair() {
  python3 - "$pairs" "$@" <<'EOF'
import os, shlex, shutil, statistics as st, sys, tempfile, time
n, name, a, b = int(sys.argv[1]), sys.argv[2], shlex.split(sys.argv[3]), shlex.split(sys.argv[4])
a[0], b[0] = shutil.which(a[0]), shutil.which(b[0])
null, errors = os.open(os.devnull, os.O_WRONLY), tempfile.TemporaryFile()
# posix_spawn and waitpid: subprocess.run's pipes added 0.15 ms to every run, a tenth of a caption.
def run(cmd):
    errors.seek(0)
    errors.truncate()
    t0 = time.monotonic_ns()
    pid = os.posix_spawn(cmd[0], cmd, os.environ,
                         file_actions=[(os.POSIX_SPAWN_DUP2, null, 1), (os.POSIX_SPAWN_DUP2, errors.fileno(), 2)])
    status = os.waitpid(pid, 0)[1]
    t = (time.monotonic_ns() - t0) / 1e6
    if status:
        errors.seek(0)
        sys.exit(f"failed: {shlex.join(cmd)}\n{errors.read().decode()}")
    return t
ta, tb = [], []
for i in range(n + 2):
    x, y = run(a), run(b)
    if i >= 2: ta.append(x); tb.append(y)
ratio = st.median(x / y for x, y in zip(ta, tb))
print(f"{name:<40} {st.median(ta):8.2f} {st.median(tb):8.2f} {ratio:7.2f}")
EOF
}
header() { printf '\n%s\n%-40s %8s %8s %7s\n' "$1" "A against B" A-ms B-ms A/B; }

echo "kilnbatch: $kiln${base:+; baseline: $base}"
echo "ImageMagick: $("$im" -version | head -n 1)"
echo "$pairs measured pairs after 2 warm-up pairs (A B A B ...); times in ms"

# A program that does nothing, compiled and linked as kilnbatch is; --no-as-needed keeps the
# C++ run-time that every C++ program loads, though this one calls nothing of it.
python3 - "$build" <<'EOF' > empty.sh
import json, shlex, sys
build = sys.argv[1]
entry = next(e for e in json.load(open(build + "/compile_commands.json")) if e["file"].endswith("/kilnbatch/main.cpp"))
words = shlex.split(entry["command"])
compile_flags = [w for w in words[1:] if w.startswith("-") and not w.startswith(("-I", "-o", "-c"))]
link = shlex.split(open(build + "/kilnbatch/CMakeFiles/kilnbatch.dir/link.txt").read())
link_flags = [w for w in link[1:] if w.startswith("-") and w != "-o" and not w.startswith(("-l", "-Wl,-rpath"))]
print(shlex.join([words[0], *compile_flags, "-c", "empty.cpp", "-o", "empty.o"]))
print(shlex.join([link[0], *link_flags, "empty.o", "-Wl,--no-as-needed", "-o", "empty"]))
EOF
echo 'int main() { return 0; }' > empty.cpp
bash -e empty.sh
readelf -d empty | grep -q 'NEEDED.*libstdc++' || { echo "the empty program lacks the C++ run-time" >&2; exit 1; }

"$kiln" sheet --font Arial --size 11 -o S.bmp >/dev/null
label() { echo "$im -font $font -pointsize 11 'label:$1' l.png"; }
caption="$kiln caption --sheet S.bmp --text Play -o c.bmp"
header "Start-up: \"Play\" from a BMP sheet (targets: A/B at most 3 and at most 0.4)"
pair "against a program that does nothing" "$caption" "$work/empty"
pair "against ImageMagick's label:" "$caption" "$(label Play)"

# A 4000 x 4000 24-bit picture with every byte value in every row, so nothing about it is uniform.
python3 - <<'EOF'
import struct
w = h = 4000
row = bytes(range(256)) * (w * 3 // 256) + bytes(range(w * 3 % 256))
head = b"BM" + struct.pack("<IHHI", 54 + w * h * 3, 0, 0, 54)
info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, w * h * 3, 2835, 2835, 0, 0)
with open("big.bmp", "wb") as f:
    f.write(head + info)
    for y in range(h):
        f.write(row[y % 256:] + row[:y % 256])
EOF
header "Copying a 4000 x 4000 24-bit BMP (target: A/B at most 2)"
pair "convert against cp" "$kiln convert big.bmp out.bmp" "cp big.bmp copy.bmp"

big="sheet --size 400 --shadow --shadow-size 400 -o s400.bmp"
header "The 400-point shadowed sheet (target: A/B at most 0.8 of the baseline)"
if [[ -n $base ]]; then
  pair "400-point sheet against the baseline" "$kiln $big" "$base $big"
else
  pair "400-point sheet (no baseline given)" "$kiln $big" "$kiln $big"
fi

header "A PNG sheet against the same sheet as BMP, --size 40 (target: A/B at most 2)"
pair "PNG sheet against BMP sheet" "$kiln sheet --size 40 -o x.png" "$kiln sheet --size 40 -o x.bmp"
optipng -quiet -o2 -out o.png x.png
printf '%-40s %8s %8s %7.2f  (target: at most 1.3)\n' "PNG bytes against optipng -o2's" \
  "$(stat -c %s x.png)" "$(stat -c %s o.png)" "$(python3 -c "print($(stat -c %s x.png) / $(stat -c %s o.png))")"
