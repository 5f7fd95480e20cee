#!/usr/bin/env bash
# Installs the Debian packages the project needs, only those that are missing,
# and says which ones it installs.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  clang libclang-rt-14-dev            # sanitizer and fuzzer runtimes
  libgtest-dev libgmock-dev libbenchmark-dev
  libpng-dev                          # PNG sheets
  libharfbuzz-dev                     # kerning pairs for font descriptors
  libpugixml-dev nlohmann-json3-dev   # reading XML and JSON font descriptors
  libcli11-dev                        # kilnbatch's command line
  libstb-dev                          # the rectangle packer of packed sheets
  libfreetype-dev libfontconfig-dev fonts-liberation2 fonts-dejavu-core fonts-dejavu-extra
  fonts-droid-fallback                # CJK characters for the packed sheets' figures
  qt6-base-dev libgl-dev              # the window toolkit
  xvfb xauth xdotool python3 python3-xlib   # end-to-end tests in a real X server
  desktop-file-utils appstream dpkg-dev fakeroot librsvg2-bin   # install checks, the .deb, icon rendering
  lintian                             # the .deb against Debian policy
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
# Node.js and npm for the descriptor consumers test (e2e/consumer): by command,
# since a Node.js installed outside Debian's packages serves as well.
command -v node >/dev/null || missing+=(nodejs)
command -v npm >/dev/null || missing+=(npm)

if [[ ${#missing[@]} -eq 0 ]]; then
  echo "install-deps: every package is present"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
sudo=()
if [[ $(id -u) -ne 0 ]]; then
  command -v sudo >/dev/null || { echo "install-deps: need root or sudo to install ${missing[*]}" >&2; exit 1; }
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
