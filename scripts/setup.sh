#!/usr/bin/env bash
# Installs the Debian packages kdlib builds and tests with. Idempotent: does
# nothing when every package is already present.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  zlib1g-dev libfontconfig-dev libfreetype-dev
  googletest libgtest-dev libbenchmark-dev
  clang libclang-rt-14-dev
  python3 python3-fonttools python3-pil
  qpdf poppler-utils fonts-dejavu-core
  libharfbuzz-dev libssl-dev
  imagemagick libwmf-bin gsfonts
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "setup: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
