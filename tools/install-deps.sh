#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the Windows test rig need; does nothing
# for those already present. Usage: tools/install-deps.sh [GROUP...]   (default: all)
#   native   compilers, CMake, GoogleTest, Google Benchmark, zlib; dpkg-dev, file and man-db for
#            the package test; zip, 7-Zip and Python to make the test archives as players' tools do
#   win      native, the MinGW-w64 cross compilers with their static zlib, and Wine on a virtual
#            display
#   package  native, the MinGW-w64 cross compilers, zip, and the Linux package's tools: dpkg-dev
#            (dpkg-shlibdeps, dpkg-buildflags), file, lintian
#   fuzz     clang and its fuzzing runtime
#   bench    native, hyperfine, unzip, the Freedoom WADs the encoder bench reads, and time and
#            xdelta3 (a generic delta tool) for tools/bench-encode.sh
#   web      native, Emscripten, Chromium and Node.js, for the browser page and its tests
#   all      every group above
# A package index that can't be fetched (a mirror in the middle of a sync) is not fatal: the
# install goes on with the lists apt has. wine32:i386 runs only the win32 suites, so when it can't
# be installed the rest is, and tools/test-all.sh skips those suites and says why. Any other
# package that can't be installed ends the run with its name.
set -euo pipefail

groups=("$@")
[ ${#groups[@]} -eq 0 ] && groups=(all)
required=()
optional=()
for group in "${groups[@]}"; do
  case "$group" in
    native | win | package | fuzz | bench | web | all) ;;
    *)
      echo "install-deps: unknown group '$group' (native, win, package, fuzz, bench, web, all)" >&2
      exit 2
      ;;
  esac
  required+=(cmake ninja-build g++ googletest libbenchmark-dev zlib1g-dev dpkg-dev file man-db
             zip p7zip-full python3)
  case "$group" in win | package | all)
    required+=(mingw-w64 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix libz-mingw-w64-dev) ;;
  esac
  case "$group" in win | all)
    required+=(wine wine64 xvfb xauth imagemagick)
    optional+=(wine32:i386) ;;
  esac
  case "$group" in package | all) required+=(lintian) ;; esac
  case "$group" in fuzz | all) required+=(clang libclang-rt-14-dev) ;; esac
  case "$group" in bench | all) required+=(hyperfine unzip freedoom freedm time xdelta3) ;; esac
  case "$group" in web | all)
    required+=(emscripten chromium nodejs)
    # A Node.js from elsewhere (NodeSource's) carries its own npm and conflicts with Debian's.
    command -v npm >/dev/null || required+=(npm) ;;
  esac
done

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}
missing_of() {
  local package
  for package in "$@"; do
    installed "$package" || echo "$package"
  done | sort -u
}
mapfile -t missing_required < <(missing_of "${required[@]}")
mapfile -t missing_optional < <(missing_of "${optional[@]}")
[ ${#missing_required[@]} -eq 0 ] && [ ${#missing_optional[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo
apt_get() { DEBIAN_FRONTEND=noninteractive $sudo apt-get "$@"; }

echo "Installing: ${missing_required[*]} ${missing_optional[*]}"
if printf '%s\n' "${missing_optional[@]}" | grep -q ':i386$' &&
   ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi

# apt-get update exits non-zero when any one index fails, though it keeps every other one.
# "Some index files failed" is what apt prints then; other failures leave the lists unusable.
pause=${TVL_APT_RETRY_PAUSE:-10}
log=$(mktemp)
trap 'rm -f "$log"' EXIT
updated=""
for attempt in 1 2 3; do
  if apt_get update -q >"$log" 2>&1; then
    updated=1
    break
  fi
  [ "$attempt" -lt 3 ] && sleep "$pause"
done
if [ -z "$updated" ]; then
  failed=$(grep -c '^E: Failed to fetch' "$log" || true)
  echo "install-deps: apt-get update failed 3 times ($failed package index(es) not fetched);" \
       "going on with the lists apt has"
fi

install() { apt_get install -y -q --no-install-recommends "$@" >"$log" 2>&1; }
# Why apt refused, in one line: the first dependency it can't meet, or else its error.
apt_reason() {
  local line
  line=$(grep -m1 -E ' : (Pre)?Depends: ' "$log" || grep -m1 -E '^E: ' "$log" || true)
  line=$(echo "$line" | sed -E 's/^E: //; s/^ +//; s/ +/ /g')
  echo "${line:-apt-get install failed}"
}

if [ ${#missing_required[@]} -gt 0 ] && ! install "${missing_required[@]}"; then
  # Tell which ones are at fault: each alone, so the message names them.
  refused=()
  for package in "${missing_required[@]}"; do
    installed "$package" && continue
    if ! install "$package"; then
      echo "install-deps: can't install $package: $(apt_reason)" >&2
      refused+=("$package")
    fi
  done
  if [ ${#refused[@]} -gt 0 ]; then
    echo "install-deps: needed packages could not be installed: ${refused[*]}" >&2
    exit 1
  fi
fi

for package in "${missing_optional[@]}"; do
  if ! install "$package"; then
    echo "install-deps: $package is not installable here ($(apt_reason));" \
         "the win32 suites will be skipped"
  fi
done
exit 0
