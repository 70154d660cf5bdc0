#!/usr/bin/env bash
# Installs the Debian packages that building and testing Tarnwick needs, when
# missing: the native build's by default, or the packages given as arguments.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libsqlite3-dev nlohmann-json3-dev libcli11-dev libexpat1-dev
  libgtest-dev libgmock-dev libbenchmark-dev
)
[ "$#" -gt 0 ] && packages=("$@")

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
