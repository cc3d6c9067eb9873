#!/usr/bin/env bash
# Makes the release packages dist/tarvelline-<version>-win64.zip and -win32.zip, each holding
# tarvelline.exe, tarvelline-cli.exe, README.md, LICENSE and SHA256SUMS. With every patch in
# patches/data the programs are built with the release presets and carry the patches; otherwise
# with win64 and win32, and the packages say so in their names ("-nopatches").
# "linux" makes dist/tarvelline-cli_<version>_<arch>.deb (CPack, checked with lintian) and a
# .tar.gz of the same tree, listed in dist/SHA256SUMS with the zips; the CLI carries the patches
# when the zips' programs do, and the names keep Debian's form either way.
# Usage: tools/package.sh [win64] [win32] [linux]   (default: all three)
set -euo pipefail
cd "$(dirname "$0")/.."
arches=("$@")
[ ${#arches[@]} -eq 0 ] && arches=(win64 win32 linux)
tools/install-deps.sh package

version=$(sed -n 's/^project(Tarvelline VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
version=${version%.*}  # users see three numbers
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
patches=$(find patches/data -name '*.vcdiff' 2>/dev/null | wc -l)
mkdir -p dist

package_linux() {
  local build=build/package-linux all_patches=OFF
  [ "$patches" -ge 136 ] && all_patches=ON
  echo "== linux: building with the native preset and Debian's build flags (all patches: $all_patches)"
  # Debian's hardening (fortify, stack protector, relro, bindnow); -fno-ident leaves out the
  # compiler's .comment section, which a stripped package binary has no use for.
  local cppflags cxxflags ldflags
  cppflags=$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get CPPFLAGS)
  cxxflags=$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get CXXFLAGS)
  ldflags=$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get LDFLAGS)
  cmake --preset native -B "$build" -DTVL_BUILD_TESTS=OFF -DTVL_REQUIRE_ALL_PATCHES=$all_patches \
        -DCMAKE_C_FLAGS="$cppflags $(dpkg-buildflags --get CFLAGS) -fno-ident" \
        -DCMAKE_CXX_FLAGS="$cppflags $cxxflags -fno-ident" \
        -DCMAKE_EXE_LINKER_FLAGS="$ldflags" >/dev/null
  cmake --build "$build" -j "$(nproc)" >/dev/null
  rm -rf "$build/packages"
  (cd "$build" && cpack -G "DEB;TGZ" -B packages >/dev/null)
  local file deb
  deb=$(basename "$build"/packages/tarvelline-cli_*.deb)
  for file in "$build"/packages/tarvelline-cli_*.deb "$build"/packages/tarvelline-cli_*.tar.gz; do
    mv "$file" dist/
    made+=("$(basename "$file")")
    echo "== dist/$(basename "$file")  $(sha256sum <"dist/$(basename "$file")" | cut -c1-64)"
  done
  # Errors and warnings fail the package; lintian's informational notes are shown.
  lintian --info --fail-on error,warning "dist/$deb"
}

made=()
for arch in "${arches[@]}"; do
  if [ "$arch" = linux ]; then
    package_linux
    continue
  fi
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
  made+=("$name.zip")
done
# The packages of this run, each with its digest.
(cd dist && sha256sum "${made[@]}" >SHA256SUMS)
echo "== dist/SHA256SUMS lists ${made[*]}"
