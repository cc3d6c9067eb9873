#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the Windows test rig need; does nothing
# for those already present. Usage: tools/install-deps.sh [native|all]
set -euo pipefail

want=${1:-all}
packages=(cmake ninja-build g++ googletest libbenchmark-dev)
if [ "$want" = all ]; then
  packages+=(mingw-w64 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine wine64 wine32:i386
             xvfb xauth imagemagick clang libclang-rt-14-dev zip)
fi

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
    missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo
if printf '%s\n' "${missing[@]}" | grep -q ':i386$' &&
   ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
