#!/usr/bin/env bash
# Installs the Debian 12 packages the build and the tests need.
set -euo pipefail
packages=(
  build-essential cmake pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libgtk-3-dev xvfb xauth fonts-ipafont-gothic
  libsdl2-dev libepoxy-dev libgl1-mesa-dri libvorbis-dev
  imagemagick
)
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${packages[@]}"
