#!/usr/bin/env bash
# Installs the Debian packages that building and testing the launcher need; quick when all are
# present already.
set -euo pipefail
packages=(
  cmake make python3
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64   # the cross compiler, windres, objdump
  wine wine64                                      # runs the launcher and its tests
  msitools wixl wixl-data gcab                     # builds test products and patch packages
  googletest                                       # sources, built with the cross compiler
)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
