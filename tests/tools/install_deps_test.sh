#!/usr/bin/env bash
# tools/install-deps.sh and tools/wine32-check against stub package tools: a mirror whose update
# fails, packages apt refuses, a 32-bit loader that won't start. Nothing here touches the real
# package database.
set -uo pipefail
tools=$(cd "$(dirname "$0")/../../tools" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/tvl-install-deps.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0

# The stubs keep what they "installed" in $STUB/installed and log every apt-get call.
mkdir -p "$work/bin"
cat >"$work/bin/apt-get" <<'EOF'
#!/usr/bin/env bash
echo "apt-get $*" >>"$STUB/calls"
if [ "$1" = update ]; then
  if [ -n "${STUB_UPDATE_FAILS:-}" ]; then
    echo "E: Failed to fetch http://mirror/dists/security/main/binary-i386/Packages.xz  File has unexpected size (1 != 2). Mirror sync in progress?"
    echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
    exit 100
  fi
  exit 0
fi
shift
packages=()
for arg in "$@"; do case "$arg" in -*) ;; *) packages+=("$arg") ;; esac; done
for package in "${packages[@]}"; do
  for refused in ${STUB_REFUSE:-}; do
    if [ "$package" = "$refused" ]; then
      echo "The following packages have unmet dependencies:"
      echo " $package : Depends: libc6:i386 (= 2.36-9+deb12u13) but 2.36-9+deb12u10 is to be installed"
      echo "E: Unable to correct problems, you have held broken packages."
      exit 100
    fi
  done
done
printf '%s\n' "${packages[@]}" >>"$STUB/installed"
EOF
cat >"$work/bin/dpkg-query" <<'EOF'
#!/usr/bin/env bash
package=${*: -1}
grep -qxF "$package" "$STUB/installed" 2>/dev/null || exit 1
echo "install ok installed"
EOF
cat >"$work/bin/dpkg" <<'EOF'
#!/usr/bin/env bash
[ "$1" = --print-foreign-architectures ] && { cat "$STUB/arches" 2>/dev/null; exit 0; }
[ "$1" = --add-architecture ] && echo "$2" >>"$STUB/arches"
EOF
printf '#!/usr/bin/env bash\nexec "$@"\n' >"$work/bin/sudo"
printf '#!/usr/bin/env bash\nexit "${STUB_LOADER_EXIT:-0}"\n' >"$work/bin/wine32-loader"
chmod +x "$work/bin/"*

# Runs a script with the stubs first on PATH in a fresh stub state; sets out, err and rc.
run() {
  export STUB=$work/state
  rm -rf "$STUB" && mkdir -p "$STUB" && touch "$STUB/installed"
  PATH="$work/bin:$PATH" TVL_APT_RETRY_PAUSE=0 TVL_WINE32_LOADER="$work/bin/wine32-loader" \
    "$@" >"$work/out" 2>"$work/err"
  rc=$?
  out=$(cat "$work/out")
  err=$(cat "$work/err")
}
fail() {
  echo "FAIL: $1"
  echo "  exit $rc; stdout: $out"
  echo "  stderr: $err"
  failures=$((failures + 1))
}
expect_line() {  # expect_line CASE TEXT PATTERN
  grep -qE -- "$3" <<<"$2" || fail "$1: no line matching '$3'"
}
installed() { grep -qxF "$1" "$STUB/installed"; }

# An out-of-sync mirror: update fails every time, wine32:i386 can't be installed.
STUB_UPDATE_FAILS=1 STUB_REFUSE="wine32:i386" run "$tools/install-deps.sh" win
[ "$rc" -eq 0 ] || fail "mirror out of sync: should succeed"
[ "$(grep -c '^apt-get update' "$STUB/calls")" -eq 3 ] || fail "mirror out of sync: 3 updates"
expect_line "mirror out of sync" "$out" '^install-deps: apt-get update failed 3 times .*going on'
expect_line "mirror out of sync" "$out" \
  '^install-deps: wine32:i386 is not installable here \(wine32:i386 : Depends: libc6:i386 .*\); the win32 suites will be skipped$'
for package in cmake g++ g++-mingw-w64-i686-posix wine64 xvfb; do
  installed "$package" || fail "mirror out of sync: $package not installed"
done
installed wine32:i386 && fail "mirror out of sync: wine32:i386 should not be installed"
grep -qx i386 "$STUB/arches" || fail "mirror out of sync: i386 architecture not added"
# The rig's side of it: the reason the win32 suites are skipped.
run "$tools/wine32-check"
[ "$rc" -ne 0 ] && [ "$out" = "wine32:i386 is not installable here" ] ||
  fail "wine32-check without wine32:i386"

# A needed package refused: the run fails and names it, whatever else went in.
STUB_UPDATE_FAILS=1 STUB_REFUSE="xvfb wine32:i386" run "$tools/install-deps.sh" win
[ "$rc" -ne 0 ] || fail "xvfb refused: should fail"
expect_line "xvfb refused" "$err" "^install-deps: can't install xvfb: "
expect_line "xvfb refused" "$err" '^install-deps: needed packages could not be installed: xvfb$'
grep -q "cmake" <<<"$err" && fail "xvfb refused: cmake named though it installed"
STUB_REFUSE="cmake" run "$tools/install-deps.sh" native
[ "$rc" -ne 0 ] || fail "cmake refused: should fail"
expect_line "cmake refused" "$err" '^install-deps: needed packages could not be installed: cmake$'

# A healthy mirror: one update, everything in, nothing said about failures.
run "$tools/install-deps.sh" all
[ "$rc" -eq 0 ] || fail "healthy mirror: should succeed"
[ "$(grep -c '^apt-get update' "$STUB/calls")" -eq 1 ] || fail "healthy mirror: one update"
grep -q "failed\|not installable" <<<"$out$err" && fail "healthy mirror: reports a failure"
installed wine32:i386 && installed zip && installed clang || fail "healthy mirror: packages"

# Nothing missing: no apt-get at all.
run bash -c "printf '%s\n' cmake ninja-build g++ googletest libbenchmark-dev zlib1g-dev dpkg-dev file man-db zip p7zip-full python3 >\"\$STUB/installed\" &&
             '$tools/install-deps.sh' native"
[ "$rc" -eq 0 ] && [ ! -e "$STUB/calls" ] || fail "nothing missing: apt-get was called"

run "$tools/install-deps.sh" nonsense
[ "$rc" -eq 2 ] || fail "unknown group: exit 2"

# wine32:i386 installed but the kernel refuses 32-bit programs: the other reason.
run bash -c "echo wine32:i386 >\"\$STUB/installed\" && STUB_LOADER_EXIT=126 '$tools/wine32-check'"
[ "$rc" -ne 0 ] && [ "$out" = "this machine cannot run 32-bit programs" ] ||
  fail "wine32-check with a loader that won't start"
run bash -c "echo wine32:i386 >\"\$STUB/installed\" && '$tools/wine32-check'"
[ "$rc" -eq 0 ] && [ -z "$out" ] || fail "wine32-check on a machine that runs them"

[ "$failures" -eq 0 ] && echo "install-deps: all cases passed"
exit $((failures > 0))
