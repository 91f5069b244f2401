#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing sorv need.
# Idempotent: when everything is present it only runs dpkg-query and exits.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config clang
  libsdl2-dev libsdl2-mixer-dev timgm6mb-soundfont libvorbis-dev
  libpng-dev zlib1g-dev libjpeg62-turbo-dev libfreetype-dev libfontconfig-dev
  liblua5.4-dev libpixman-1-dev
  libavformat-dev libavcodec-dev libswscale-dev libswresample-dev libavutil-dev
  libgtest-dev libbenchmark-dev
  fonts-ipafont-gothic
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
