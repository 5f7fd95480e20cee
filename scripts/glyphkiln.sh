#!/usr/bin/env bash
# Installs what is missing, builds the programs and starts glyphkiln.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc 2>/dev/null || echo 2)"
exec build/renderer/glyphkiln
