#!/usr/bin/env bash
# Installs the Debian 12 packages the build and the tests need.
set -euo pipefail
packages=(
  build-essential cmake pkg-config ninja-build lld
  libgtest-dev libgmock-dev libbenchmark-dev
  libgtk-3-dev xvfb xauth fonts-ipafont-gothic libfreetype-dev libfontconfig-dev
  libsdl2-dev libgl1-mesa-dri libvorbis-dev
  libstb-dev libdeflate-dev zlib1g-dev libepoxy-dev libxtst-dev
  # Deterministic transcendentals (engine/core/FloatMath.cpp).
  libsleef-dev
  libavformat-dev libavcodec-dev libswscale-dev libavutil-dev
  # Test media and models from other programs (fuzz/afl.sh installs afl++
  # itself).
  imagemagick sox vorbis-tools ffmpeg assimp-utils
  # The text recogniser the title's frame is read with (English data).
  tesseract-ocr tesseract-ocr-eng
  # The scripts' checks.
  python3
)
# Only what is not installed yet: the package step takes most of a minute
# even when there is nothing to do.
missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  if [ "$status" != "install ok installed" ]; then missing+=("$p"); fi
done
if [ ${#missing[@]} -eq 0 ]; then exit 0; fi
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
