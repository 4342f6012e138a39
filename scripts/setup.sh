#!/usr/bin/env bash
# Installs every Debian package the project needs to build, run and test.
# Runs as root on a fresh Debian 12; safe to run again.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config
  # libraries the client links
  libsdl2-dev libgl-dev libgl1-mesa-dev mesa-common-dev
  nlohmann-json3-dev libmbedtls-dev libstb-dev
  # PNG images, and the X11 image clipboard
  libspng-dev libx11-dev
  # the skin export and import dialogs (kdialog serves as well where installed)
  zenity
  # glyphs for the asset package
  unifont
  # tests and benchmarks; the format check
  clang-format
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  xvfb xdotool x11-utils x11-apps imagemagick xauth libgl1-mesa-dri
  sox libsox-fmt-all vorbis-tools
  python3 python3-websockets
  # the other program of the clipboard tests; the PNG fixture maker and checker
  xclip python3-pil
  libboost-dev libssl-dev openssl ca-certificates util-linux procps
)

if [ "$(id -u)" -ne 0 ]; then
  echo "setup.sh installs packages with apt-get and must run as root" >&2
  exit 1
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi
