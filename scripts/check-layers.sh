#!/usr/bin/env bash
# Fails when a folder includes from its own floor or a floor above it: the
# folders' include rules, as the README's layout table gives them.
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"
allowed() {  # the folders each folder may include from, itself included
  case $1 in
    platform) echo "platform" ;;
    core) echo "core platform" ;;
    raster) echo "raster core platform" ;;
    gui) echo "gui raster core platform" ;;
    renderer) echo "renderer gui raster core platform" ;;
    composer) echo "composer gui raster core platform" ;;
    kilnbatch) echo "kilnbatch renderer composer raster core platform" ;;
  esac
}
status=0
for folder in platform core raster gui renderer composer kilnbatch; do
  while IFS=: read -r file line include; do
    target=${include#*\"}
    target=${target%%/*}
    [[ " $(allowed "$folder") " == *" $target "* ]] && continue
    echo "$file:$line: $folder/ may not include $target/: $include"
    status=1
  done < <(grep -rnE '^#include "[a-z_]+/' "$folder" --include='*.h' --include='*.cpp' || true)
done
exit $status
