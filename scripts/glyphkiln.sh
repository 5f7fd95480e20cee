#!/usr/bin/env bash
# Installs what is missing, builds the programs and starts glyphkiln.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc 2>/dev/null || echo 2)"
if [[ -x build/renderer/glyphkiln ]]; then
  exec build/renderer/glyphkiln
fi
echo "Built kilnbatch (build/kilnbatch/kilnbatch); the glyphkiln window is not built yet."
