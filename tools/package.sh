#!/usr/bin/env bash
# Makes the release packages dist/tarvelline-<version>-win64.zip and -win32.zip, each holding
# tarvelline.exe, tarvelline-cli.exe, README.md, LICENSE and SHA256SUMS. With every patch in
# patches/data the programs are built with the release presets and carry the patches; otherwise
# with win64 and win32, and the packages say so in their names ("-nopatches").
# Usage: tools/package.sh [win64] [win32]   (default: both)
set -euo pipefail
cd "$(dirname "$0")/.."
arches=("$@")
[ ${#arches[@]} -eq 0 ] && arches=(win64 win32)
tools/install-deps.sh package

version=$(sed -n 's/^project(Tarvelline VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
version=${version%.*}  # users see three numbers
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
patches=$(find patches/data -name '*.vcdiff' 2>/dev/null | wc -l)
mkdir -p dist
for arch in "${arches[@]}"; do
  if [ "$patches" -ge 136 ]; then
    preset=release suffix=""
    [ "$arch" = win32 ] && preset=release-win32
  else
    preset=$arch suffix="-nopatches"
    echo "== $arch: patches/data holds $patches of 136 patches; the programs carry none"
  fi
  echo "== $arch: building with the $preset preset"
  # A folder of its own: turning the tests off in build/win64 would leave its test programs
  # stale, and the next test run would run them.
  build=build/package-$arch
  cmake --preset "$preset" -B "$build" -DTVL_BUILD_TESTS=OFF >/dev/null
  cmake --build "$build" -j "$(nproc)" --target tarvelline tarvelline-cli >/dev/null

  name=tarvelline-$version-$arch$suffix
  stage=$(mktemp -d)
  trap 'rm -rf "$stage"' EXIT
  mkdir "$stage/$name"
  cp "$build/app/tarvelline.exe" "$build/cli/tarvelline-cli.exe" README.md LICENSE \
     "$stage/$name/"
  (cd "$stage/$name" && sha256sum tarvelline.exe tarvelline-cli.exe README.md LICENSE >SHA256SUMS)
  # Fixed times, order and attributes, so one commit always makes the same package.
  find "$stage/$name" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
  rm -f "dist/$name.zip"
  (cd "$stage" && TZ=UTC zip -q -X -D "$OLDPWD/dist/$name.zip" \
     "$name/tarvelline.exe" "$name/tarvelline-cli.exe" "$name/README.md" "$name/LICENSE" \
     "$name/SHA256SUMS")
  rm -rf "$stage"
  trap - EXIT
  echo "== dist/$name.zip  $(sha256sum <"dist/$name.zip" | cut -c1-64)"
done
