#!/usr/bin/env bash
# Whole-process time of kilnbatch captions against ImageMagick drawing the same text as a label:
# pairs run alternately (A B A B ...), medians of A and B and the median of the per-pair ratios A/B. Not a test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
kiln=$(realpath "${1:-$root/build/kilnbatch/kilnbatch}")
[[ -x $kiln ]] || { echo "no kilnbatch at $kiln" >&2; exit 2; }
pairs=${PAIRS:-11}

# Debian's ImageMagick, only when missing, as install-deps.sh installs packages.
if [[ $(dpkg-query -W -f='${Status}' imagemagick 2>/dev/null || true) != "install ok installed" ]]; then
  sudo=()
  if [[ $(id -u) -ne 0 ]]; then
    command -v sudo >/dev/null || { echo "bench-peers: need root or sudo to install imagemagick" >&2; exit 1; }
    sudo=(sudo)
  fi
  echo "bench-peers: installing imagemagick"
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -q >/dev/null
  "${sudo[@]}" apt-get install -y -q --no-install-recommends imagemagick >/dev/null
fi
# The package's own program, whatever else is called convert earlier on the PATH.
im=/usr/bin/convert
[[ -x $im ]] || im=$(command -v convert-im6.q16)
font=/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf
[[ -f $font ]] || font=$(fc-match -f '%{file}' 'Liberation Sans')

work=$(mktemp -d /dev/shm/bench-peers.XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"

"$kiln" sheet --font Arial --size 11 --descriptor text -o S.png >/dev/null
long="The quick brown fox jumps over a lazy do"  # 40 characters

# pair NAME CMD_A CMD_B: each command a string split as the shell would (quote words with spaces inside it);
# 2 warm-up pairs, then $pairs measured, each whole process timed on the monotonic clock.
pair() {
  python3 - "$pairs" "$@" <<'EOF'
import shlex, statistics as st, subprocess, sys, time
n, name, a, b = int(sys.argv[1]), sys.argv[2], shlex.split(sys.argv[3]), shlex.split(sys.argv[4])
def run(cmd):
    t0 = time.monotonic_ns()
    r = subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    t = (time.monotonic_ns() - t0) / 1e6
    if r.returncode: sys.exit(f"failed: {shlex.join(cmd)}\n{r.stderr.decode()}")
    return t
ta, tb = [], []
for i in range(n + 2):
    x, y = run(a), run(b)
    if i >= 2: ta.append(x); tb.append(y)
ratio = st.median(x / y for x, y in zip(ta, tb))
print(f"{name:<34} {st.median(ta):8.2f} {st.median(tb):8.2f} {ratio:7.2f}")
EOF
}

echo "kilnbatch: $kiln"
echo "ImageMagick: $("$im" -version | head -n 1)"
echo "font: $font; $pairs measured pairs after 2 warm-up pairs (A B A B ...); times in ms"
printf '%-34s %8s %8s %7s\n' "A against B (label:)" A-ms B-ms A/B
label() { echo "$im -font $font -pointsize 11 'label:$1' l.png"; }
pair "proportional \"Play\"" "$kiln caption --layout proportional --sheet S.png --text Play -o c.png" "$(label Play)"
pair "fixed \"Play\"" "$kiln caption --sheet S.png --text Play -o f.png" "$(label Play)"
pair "proportional, 40 characters" \
  "$kiln caption --layout proportional --sheet S.png --text '$long' -o c.png" "$(label "$long")"
