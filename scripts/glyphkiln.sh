#!/usr/bin/env bash
# Installs what is missing, builds the three programs (not the tests and
# benchmarks, which scripts/test.sh builds) and starts glyphkiln.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc 2>/dev/null || echo 2)" --target glyphkiln plaquer kilnbatch
echo "glyphkiln.sh: the programs are $PWD/build/renderer/glyphkiln,"
echo "             $PWD/build/composer/plaquer and $PWD/build/kilnbatch/kilnbatch"
exec build/renderer/glyphkiln
