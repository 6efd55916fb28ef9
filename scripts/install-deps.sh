#!/usr/bin/env bash
# Installs the Debian 12 packages needed to build, test and demo the project.
set -euo pipefail
pkgs=(build-essential cmake pkg-config zlib1g-dev qt6-base-dev libgtest-dev libgmock-dev
      libbenchmark-dev python3 zip unzip 7zip libarchive-tools xvfb xauth x11-apps clang fonts-liberation)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
