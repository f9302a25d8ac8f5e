#!/usr/bin/env bash
# Installs every Debian package that building, running and testing tarnwick needs.
# Idempotent and non-interactive: it does nothing when all packages are present.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libglfw3-dev python3-glad libgl1-mesa-dri libgl-dev
  libgtest-dev
  libcairo2-dev libfontconfig-dev libfreetype-dev libpng-dev fonts-dejavu-core
  xvfb xdotool imagemagick apitrace valgrind python3
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq || { echo "install-deps: apt-get update failed" >&2; exit 1; }
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null \
  || { echo "install-deps: apt-get install failed for: ${missing[*]}" >&2; exit 1; }
